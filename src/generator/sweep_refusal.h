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

}  // namespace auralyn::generator
