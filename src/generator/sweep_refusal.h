#pragma once

#include <optional>
#include <string>

#include "sweep/sweep_plan.h"

namespace auralyn::generator {

// Why a sweep may not be written, or nothing when it may. echoprobe refuses
// parameter files that it could not walk in bounded time or whose sweep would
// not fit a WAV file, so both generators refuse such a sweep before anything is
// written. The text is a sentence without a leading "Error:".
std::optional<std::string> sweepRefusal(const sweep::SweepPlan& plan);

// The frequency of a tone of the sweep that lies at (or above) half the
// sampling rate, where every sample of a sine that starts at phase 0 is 0: such
// a tone is written as silence and cannot be measured. Nothing when there is
// none. Only the last tones can: the schedule keeps below the end frequency.
std::optional<double> toneAtHalfRate(const sweep::SweepPlan& plan);

// The sentence that names that tone, without a leading "Error:" or "Warning:".
std::string halfRateText(const sweep::SweepPlan& plan, double hz);

}  // namespace auralyn::generator
