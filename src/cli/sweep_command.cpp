// auralyn sweep: tonesmith's sweep from options instead of a dialogue.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/progress_bar.h"
#include "cli/staged_file.h"
#include "cli/sweep_options.h"
#include "generator/sweep_refusal.h"
#include "generator/sweep_synthesis.h"
#include "measurement/sweep_analysis.h"
#include "platform/path_names.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::cli {
namespace {

// A number option, kept as typed so that it is judged as the dialogue judges it.
struct NumberOption {
    std::string text;
    CLI::Option* option = nullptr;
    std::optional<std::string> given() const {
        if (option->count() == 0) return std::nullopt;
        return text;
    }
};

struct SweepCommand {
    std::string wavePath;
    std::string parameterPath;
    bool octave = false;
    bool linear = false;
    bool quiet = false;
    NumberOption rate, start, end, step, minDuration, settling, tonesPerSync, syncLevel, minCycles,
        maxFractionalCycle, maxExtraSamples, maxDrift;
};

void addNumber(CLI::App* command, NumberOption& number, const char* name, const char* unit, const char* what,
               const char* defaultText) {
    number.option = command->add_option(name, number.text, what)->type_name(unit)->default_str(defaultText);
}

void addOptions(CLI::App* command, SweepCommand& s) {
    command->add_option("-o,--output", s.wavePath, "the sweep's WAV file to write")->required()->type_name("OUT.wav");
    command->add_option("--parameters", s.parameterPath, "the sweep parameter file to write")
        ->type_name("FILE")
        ->default_str("OUT with .swp in place of its extension");
    addNumber(command, s.rate, "--rate", "HZ", "sampling rate, 8000 to 96000", "48000");
    CLI::Option* octave =
        command->add_flag("--octave", s.octave, "space the tones by a fraction of an octave (default)");
    CLI::Option* linear = command->add_flag("--linear", s.linear, "space the tones by a fixed number of Hz");
    octave->excludes(linear);
    linear->excludes(octave);
    addNumber(command, s.start, "--start", "HZ", "frequency of the first tone, 0.1 to rate/2", "20");
    addNumber(command, s.end, "--end", "HZ", "no tone lies above it, start to rate/2", "20000, or rate/2 if lower");
    addNumber(command, s.step, "--step", "X",
              "tones per octave, 0.1 to 5000 (octave); Hz from tone to tone, 0.01 to 1e10 (linear)",
              "24 (octave), 10 (linear)");
    addNumber(command, s.minDuration, "--min-duration", "S", "shortest measured part of a tone, 0 to 1000", "0.02");
    addNumber(command, s.settling, "--settling", "S",
              "time the device needs to settle on a tone, 0 to 1 (speakers 0.040, headphones 0.025, circuits 0.005)",
              "0.04");
    addNumber(command, s.tonesPerSync, "--tones-per-sync", "N",
              "tones after each sync pulse, 0 to 4294967295 (0: one pulse, at the start)", "0");
    addNumber(command, s.syncLevel, "--sync-level", "PCT", "sync pulse level, percent of full scale, 10 to 100", "90");
    addNumber(command, s.minCycles, "--min-cycles", "N",
              "minimum cycles per tone, 0 to 200 (recorded; the tone-length search always uses 10)", "10");
    addNumber(command, s.maxFractionalCycle, "--max-fractional-cycle", "X",
              "error bound of the tone-length search, 0 to 1 (1: no search)", "1");
    addNumber(command, s.maxExtraSamples, "--max-extra-samples", "N",
              "samples the search may add to a tone, 0 to 3000", "400");
    addNumber(command, s.maxDrift, "--max-drift", "S", "largest clock drift between player and recorder, 0 to 1",
              "0.0002");
    command->add_flag("-q,--quiet", s.quiet, "no progress bar");
}

SweepOptions typedOptions(const SweepCommand& s) {
    SweepOptions o;
    o.rate = s.rate.given();
    o.linear = s.linear;
    o.start = s.start.given();
    o.end = s.end.given();
    o.step = s.step.given();
    o.minDuration = s.minDuration.given();
    o.settling = s.settling.given();
    o.tonesPerSync = s.tonesPerSync.given();
    o.syncLevel = s.syncLevel.given();
    o.minCycles = s.minCycles.given();
    o.maxFractionalCycle = s.maxFractionalCycle.given();
    o.maxExtraSamples = s.maxExtraSamples.given();
    o.maxDrift = s.maxDrift.given();
    return o;
}

// tonesmith's proposal: the wave file's path without its extension, with .swp.
std::string defaultParameterPath(const std::string& wavePath) {
    const platform::PathOffsets offsets = platform::pathOffsets(wavePath);
    return platform::withoutExtension(wavePath, offsets.extension) + ".swp";
}

bool writeParameterFile(const SweepPlan& plan, const StagedFile& file, std::string& error) {
    std::FILE* stream = std::fopen(file.writePath().c_str(), "wb");
    if (stream == nullptr) {
        error = "cannot be opened for writing";
        return false;
    }
    const bool written = plan.writeParameters(stream);
    if (!closeWritten(stream, error)) return false;
    if (!written) error = "could not be written completely";
    return written;
}

// The header is given its final sizes by close(); a device keeps nothing to
// check, a regular file must hold exactly header and samples.
bool writeWaveFile(SweepPlan& plan, const StagedFile& file, bool quiet, std::uint32_t& dataSize, std::string& error) {
    WaveFile wave;
    if (!wave.openWrite(file.writePath().c_str())) {
        error = "cannot be opened for writing";
        return false;
    }
    wave.setFormat(44100, 16, 1);
    wave.setSampleRate(plan.params().sampleRate);
    ProgressBar bar("sweep", quiet);
    const bool synthesized = synthesizeSweep(plan, wave, [&bar](double percent) { bar.update(percent); });
    if (synthesized) bar.update(100.0);
    bar.finish();
    dataSize = wave.dataSize;
    if (!wave.close() || !synthesized) {
        error = "could not be written completely (is the disk full?)";
        return false;
    }
    return true;
}

void printLength(const SweepPlan& plan, std::uint32_t dataSize, const SweepCommand& s) {
    const std::uint32_t rate = plan.params().sampleRate;
    const std::uint32_t samples = dataSize / 2;
    std::printf("Sweep: %u tones, %.3f seconds (%u samples at %u Hz)\n", scheduledToneCount(plan),
                static_cast<double>(samples) / rate, samples, rate);
    std::printf("Wrote %s and %s\n", s.wavePath.c_str(), s.parameterPath.c_str());
}

int runSweep(SweepCommand& s) {
    SweepPlan plan;
    std::string error;
    if (!storeSweepOptions(typedOptions(s), plan, error)) {
        printDiagnostic(error);
        return kExitUsage;
    }
    plan.lock();
    if (const std::optional<std::string> refusal = sweepRefusal(plan)) {
        printDiagnostic(*refusal);
        return kExitUsage;
    }
    if (s.parameterPath.empty()) s.parameterPath = defaultParameterPath(s.wavePath);
    // Both into one device (a dry run into /dev/null) harms nothing; one regular
    // file for both would hold neither.
    if (samePlace(s.wavePath, s.parameterPath) && !isDevice(s.wavePath)) {
        printDiagnostic(s.parameterPath + ": the parameter file cannot be the wave file; give another --parameters");
        return kExitUsage;
    }
    // As tonesmith does: the parameter file is complete before the first sample.
    StagedFile parameters(s.parameterPath);
    if (!writeParameterFile(plan, parameters, error)) {
        printDiagnostic(s.parameterPath + ": " + error);
        return kExitFailure;
    }
    StagedFile wave(s.wavePath);
    std::uint32_t dataSize = 0;
    if (!writeWaveFile(plan, wave, s.quiet, dataSize, error)) {
        printDiagnostic(s.wavePath + ": " + error);
        return kExitFailure;
    }
    if (!parameters.commit(error)) {
        printDiagnostic(s.parameterPath + ": " + error);
        return kExitFailure;
    }
    if (!wave.commit(error)) {
        printDiagnostic(s.wavePath + ": " + error);
        return kExitFailure;
    }
    printLength(plan, dataSize, s);
    return kExitSuccess;
}

}  // namespace

void addSweepCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "sweep",
        "Write a stepped-sine sweep: a mono 16-bit WAV file to play through the device, and its parameter file "
        "(.swp) for analyze. The files are byte for byte what tonesmith writes for the same answers.");
    auto state = std::make_shared<SweepCommand>();
    addOptions(command, *state);
    command->callback([state, &exitCode] { exitCode = runSweep(*state); });
}

}  // namespace auralyn::cli
