// auralyn sweep: tonesmith's sweep from options instead of a dialogue.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "platform/staged_file.h"
#include "cli/sweep_making.h"
#include "analysis/sweep_analysis.h"
#include "platform/path_names.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {
namespace {

struct SweepCommand {
    std::string wavePath;
    std::string parameterPath;
    bool quiet = false;
    SweepOptionValues sweep;
};

void addOptions(CLI::App* command, SweepCommand& s) {
    command->add_option("-o,--output", s.wavePath, "the sweep's WAV file to write")->required()->type_name("OUT.wav");
    command->add_option("--parameters", s.parameterPath, "the sweep parameter file to write")
        ->type_name("FILE")
        ->default_str("OUT with .swp in place of its extension");
    addSweepOptions(command, s.sweep);
    command->add_flag("-q,--quiet", s.quiet, "no progress bar");
}

// tonesmith's proposal: the wave file's path without its extension, with .swp.
std::string defaultParameterPath(const std::string& wavePath) {
    const platform::PathOffsets offsets = platform::pathOffsets(wavePath);
    return platform::withoutExtension(wavePath, offsets.extension) + ".swp";
}

void printLength(const sweep::SweepPlan& plan, std::uint32_t dataSize, const SweepCommand& s) {
    const std::uint32_t rate = plan.params().sampleRate;
    const std::uint32_t samples = dataSize / 2;
    std::printf("Sweep: %u tones, %.3f seconds (%u samples at %u Hz)\n", analysis::scheduledToneCount(plan),
                static_cast<double>(samples) / rate, samples, rate);
    std::printf("Wrote %s and %s\n", s.wavePath.c_str(), s.parameterPath.c_str());
}

int runSweep(SweepCommand& s) {
    sweep::SweepPlan plan;
    if (const int status = planSweep(s.sweep, plan); status != kExitSuccess) return status;
    if (s.parameterPath.empty()) s.parameterPath = defaultParameterPath(s.wavePath);
    // Both into one device (a dry run into /dev/null) harms nothing; one regular
    // file for both would hold neither.
    if (platform::samePlace(s.wavePath, s.parameterPath) && !platform::isDevice(s.wavePath)) {
        printDiagnostic(s.parameterPath + ": the parameter file cannot be the wave file; give another --parameters");
        return kExitUsage;
    }
    std::uint32_t dataSize = 0;
    if (const int status = writeSweepFiles(plan, s.wavePath, s.parameterPath, s.quiet, dataSize);
        status != kExitSuccess) {
        return status;
    }
    printLength(plan, dataSize, s);
    return kExitSuccess;
}

}  // namespace

void addSweepCommand(CLI::App& app, int& exitCode) {
    addRequestCommand<SweepCommand>(
        app, exitCode, "sweep",
        "Write a stepped-sine sweep: a mono 16-bit WAV file to play through the device, and its parameter file "
        "(.swp) for analyze. The files are byte for byte what tonesmith writes for the same answers.",
        addOptions, runSweep);
}

}  // namespace auralyn::cli
