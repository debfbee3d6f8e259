#pragma once

#include <cstdint>
#include <optional>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::measurer {

// A pulse written below the threshold is never taken as found.
// Reads the `silence` samples that the layout puts ahead of the search, then
// forward to the first sample whose absolute value reaches the plan's sync
// threshold and that begins a pulse: it rises out of silence without falling
// back on the way (a tone behind a missed pulse does) and holds its sign and
// level for the pulse's length (a tone does neither). Leaves the
// position just past a pulse of the plan's pulse length that begins at that
// sample. False when the recording ends first or the skip past the pulse is
// refused.
bool findSyncPulse(const sweep::SweepPlan& plan, wave::WaveFile& recording, std::int32_t silence = 0);

// The same judgment over samples held in memory: the trigger that the search
// above, started at `from` with `silence` samples to read first, would find
// before `to`.
std::optional<std::int64_t> findSyncTrigger(const sweep::SweepPlan& plan, const std::int16_t* samples, std::int64_t count,
                                            std::int64_t from, std::int64_t to, std::int64_t silence = 0);
// The same over samples in 16-bit units with a fraction (24-bit, float
// recordings), each judged as the code it rounds to.
std::optional<std::int64_t> findSyncTrigger(const sweep::SweepPlan& plan, const float* samples, std::int64_t count,
                                            std::int64_t from, std::int64_t to, std::int64_t silence = 0);

// The larger of `peak` and the largest absolute sample value among `count`
// samples; -32768 counts as 32768.
std::uint16_t trackPeak(std::uint16_t peak, const std::int16_t* samples, std::int32_t count);

}  // namespace auralyn::measurer
