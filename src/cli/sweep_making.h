#pragma once

// Making a sweep from the command line's options, shared by the commands that
// write one: `auralyn sweep` into the files the user names, `auralyn measure`
// into a folder of its own before playing it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli11_forward.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {

// A number option, kept as typed so that it is judged as the dialogue judges it.
struct NumberOption {
    std::string text;
    CLI::Option* option = nullptr;
    std::optional<std::string> given() const;  // the text, where the option was given
};

struct SweepOptionValues {
    bool octave = false;
    bool linear = false;
    NumberOption rate, start, end, step, minDuration, settling, tonesPerSync, syncLevel, minCycles,
        maxFractionalCycle, maxExtraSamples, maxDrift;
    // True when any of the options above was given.
    bool anyGiven() const;
};

// Adds --rate, --octave/--linear, --start ... --max-drift to the command.
// Returns the options added, for commands that exclude them with others.
std::vector<CLI::Option*> addSweepOptions(CLI::App* command, SweepOptionValues& values);

// A locked plan from the options; kExitSuccess, or kExitUsage after a message
// when an option is out of range or the sweep cannot be made.
int planSweep(const SweepOptionValues& values, sweep::SweepPlan& plan);

// Writes the parameter file, then the WAV file, each under a temporary name
// renamed when complete. kExitSuccess, or kExitFailure after a message.
int writeSweepFiles(sweep::SweepPlan& plan, const std::string& wavePath, const std::string& parameterPath, bool quiet,
                    std::uint32_t& dataSize);

}  // namespace auralyn::cli
