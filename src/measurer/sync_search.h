#pragma once

#include <cstdint>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn {

// Reads forward to the first sample whose absolute value reaches the plan's
// sync threshold and leaves the position just past a pulse of the plan's
// pulse length that begins there. False when the recording ends first or the
// skip past the pulse is refused.
bool findSyncPulse(const SweepPlan& plan, WaveFile& recording);

// The larger of `peak` and the largest absolute sample value among `count`
// samples; -32768 counts as 32768.
std::uint16_t trackPeak(std::uint16_t peak, const std::int16_t* samples, std::int32_t count);

}  // namespace auralyn
