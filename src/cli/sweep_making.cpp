#include "cli/sweep_making.h"

#include <cstdio>

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/progress_bar.h"
#include "platform/staged_file.h"
#include "cli/sweep_options.h"
#include "generator/sweep_refusal.h"
#include "generator/sweep_synthesis.h"
#include "wave/wave_file.h"

namespace auralyn::cli {

std::optional<std::string> NumberOption::given() const {
    if (option == nullptr || option->count() == 0) return std::nullopt;
    return text;
}
namespace {

CLI::Option* addNumber(CLI::App* command, NumberOption& number, const char* name, const char* unit, const char* what,
                       const char* defaultText) {
    number.option = command->add_option(name, number.text, what)->type_name(unit)->default_str(defaultText);
    return number.option;
}

// How --start ... --max-drift read in the help, in the order they are listed.
struct NumberOptionText {
    NumberOption SweepOptionValues::*number;
    const char* name;
    const char* unit;
    const char* what;
    const char* defaultText;
};

constexpr NumberOptionText kToneOptions[] = {
    {&SweepOptionValues::start, "--start", "HZ", "frequency of the first tone, 0.1 to rate/2", "20"},
    {&SweepOptionValues::end, "--end", "HZ", "no tone lies above it, start to rate/2", "20000, or rate/2 if lower"},
    {&SweepOptionValues::step, "--step", "X",
     "tones per octave, 0.1 to 5000 (octave); Hz from tone to tone, 0.01 to 1e10 (linear)",
     "24 (octave), 10 (linear)"},
    {&SweepOptionValues::minDuration, "--min-duration", "S", "shortest measured part of a tone, 0 to 1000", "0.02"},
    {&SweepOptionValues::settling, "--settling", "S",
     "time the device needs to settle on a tone, 0 to 1 (speakers 0.040, headphones 0.025, circuits 0.005)", "0.04"},
    {&SweepOptionValues::tonesPerSync, "--tones-per-sync", "N",
     "tones after each sync pulse, 0 to 4294967295 (0: one pulse, at the start)", "0"},
    {&SweepOptionValues::syncLevel, "--sync-level", "PCT", "sync pulse level, percent of full scale, 10 to 100", "90"},
    {&SweepOptionValues::minCycles, "--min-cycles", "N",
     "minimum cycles per tone, 0 to 200 (recorded; the tone-length search always uses 10)", "10"},
    {&SweepOptionValues::maxFractionalCycle, "--max-fractional-cycle", "X",
     "error bound of the tone-length search, 0 to 1 (1: no search)", "1"},
    {&SweepOptionValues::maxExtraSamples, "--max-extra-samples", "N", "samples the search may add to a tone, 0 to 3000",
     "400"},
    {&SweepOptionValues::maxDrift, "--max-drift", "S", "largest clock drift between player and recorder, 0 to 1",
     "0.0002"},
};

SweepOptions typedOptions(const SweepOptionValues& s) {
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

bool writeParameterFile(const sweep::SweepPlan& plan, const platform::StagedFile& file, std::string& error) {
    std::FILE* stream = std::fopen(file.writePath().c_str(), "wb");
    if (stream == nullptr) {
        error = "cannot be opened for writing";
        return false;
    }
    const bool written = plan.writeParameters(stream);
    if (!platform::closeWritten(stream, error)) return false;
    if (!written) error = "could not be written completely";
    return written;
}

// The header is given its final sizes by close(); a device keeps nothing to
// check, a regular file must hold exactly header and samples.
bool writeWaveFile(sweep::SweepPlan& plan, const platform::StagedFile& file, bool quiet, std::uint32_t& dataSize, std::string& error) {
    wave::WaveFile wave;
    if (!wave.openWrite(file.writePath().c_str())) {
        error = "cannot be opened for writing";
        return false;
    }
    wave.setFormat(44100, 16, 1);
    wave.setSampleRate(plan.params().sampleRate);
    ProgressBar bar("sweep", quiet);
    const bool synthesized = generator::synthesizeSweep(plan, wave, [&bar](double percent) { bar.update(percent); });
    if (synthesized) bar.update(100.0);
    bar.finish();
    dataSize = wave.dataSize;
    if (!wave.close() || !synthesized) {
        error = "could not be written completely (is the disk full?)";
        return false;
    }
    return true;
}

}  // namespace

bool SweepOptionValues::anyGiven() const {
    if (octave || linear) return true;
    for (const NumberOption* number : {&rate, &start, &end, &step, &minDuration, &settling, &tonesPerSync, &syncLevel,
                                       &minCycles, &maxFractionalCycle, &maxExtraSamples, &maxDrift}) {
        if (number->given()) return true;
    }
    return false;
}

std::vector<CLI::Option*> addSweepOptions(CLI::App* command, SweepOptionValues& s) {
    std::vector<CLI::Option*> added;
    added.push_back(addNumber(command, s.rate, "--rate", "HZ", "sampling rate, 8000 to 96000", "48000"));
    CLI::Option* octave =
        command->add_flag("--octave", s.octave, "space the tones by a fraction of an octave (default)");
    CLI::Option* linear = command->add_flag("--linear", s.linear, "space the tones by a fixed number of Hz");
    octave->excludes(linear);
    linear->excludes(octave);
    added.push_back(octave);
    added.push_back(linear);
    for (const NumberOptionText& text : kToneOptions) {
        added.push_back(addNumber(command, s.*text.number, text.name, text.unit, text.what, text.defaultText));
    }
    return added;
}

int planSweep(const SweepOptionValues& values, sweep::SweepPlan& plan) {
    std::string error;
    if (!storeSweepOptions(typedOptions(values), plan, error)) {
        printDiagnostic(error);
        return kExitUsage;
    }
    plan.lock();
    if (const std::optional<std::string> refusal = generator::sweepRefusal(plan)) {
        printDiagnostic(*refusal);
        return kExitUsage;
    }
    if (const std::optional<double> silent = generator::toneAtHalfRate(plan)) {
        printDiagnostic(generator::halfRateText(plan, *silent));
        return kExitUsage;
    }
    return kExitSuccess;
}

int writeSweepFiles(sweep::SweepPlan& plan, const std::string& wavePath, const std::string& parameterPath, bool quiet,
                    std::uint32_t& dataSize) {
    std::string error;
    // As tonesmith does: the parameter file is complete before the first sample.
    platform::StagedFile parameters(parameterPath);
    if (!writeParameterFile(plan, parameters, error)) {
        printDiagnostic(parameterPath + ": " + error);
        return kExitFailure;
    }
    platform::StagedFile wave(wavePath);
    if (!writeWaveFile(plan, wave, quiet, dataSize, error)) {
        printDiagnostic(wavePath + ": " + error);
        return kExitFailure;
    }
    if (!parameters.commit(error)) {
        printDiagnostic(parameterPath + ": " + error);
        return kExitFailure;
    }
    if (!wave.commit(error)) {
        printDiagnostic(wavePath + ": " + error);
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace auralyn::cli
