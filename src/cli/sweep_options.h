#pragma once

#include <optional>
#include <string>

#include "sweep/sweep_plan.h"

namespace auralyn::cli {

// The sweep's options as typed; an option not given is empty.
struct SweepOptions {
    std::optional<std::string> rate;
    bool linear = false;
    std::optional<std::string> start;
    std::optional<std::string> end;
    std::optional<std::string> step;
    std::optional<std::string> minDuration;
    std::optional<std::string> settling;
    std::optional<std::string> tonesPerSync;
    std::optional<std::string> syncLevel;
    std::optional<std::string> minCycles;
    std::optional<std::string> maxFractionalCycle;
    std::optional<std::string> maxExtraSamples;
    std::optional<std::string> maxDrift;
};

// Stores the options in a fresh plan as tonesmith's dialogue stores the same
// answers: the same setters in the same order, integer fields truncated from
// the number, each range formed from what the plan holds at that point, the
// unasked values the dialogue sets. False, with a message that names the
// option, the value and the range, for a value that is not wholly a number or
// lies outside its range, and for a range whose default does not fit.
bool storeSweepOptions(const SweepOptions& options, sweep::SweepPlan& plan, std::string& error);

}  // namespace auralyn::cli
