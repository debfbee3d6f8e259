#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// The sweep that synthesiseSweep writes, as a recorder whose clock runs `ppm`
// fast records it from an ideal player: recording sample k holds the played
// signal, taken as the continuous sines and levels the generator sampled, at
// played time k / (1 + ppm / 1e6). Quantised like the generator; length
// round(played length x ratio).
std::vector<std::int16_t> synthesiseDriftedSweep(sweep::SweepPlan plan, double ppm);

// The same sweep through any time map: recording sample k holds the played
// signal at played time playedTime(k) (samples), times `gain`, unquantised,
// for `count` samples (0 past the sweep's end).
std::vector<double> synthesiseMappedSweep(sweep::SweepPlan plan, const std::function<double(double)>& playedTime,
                                          std::size_t count, double gain = 1.0);

// The played sweep's length in samples.
double playedSweepLength(sweep::SweepPlan plan);

}  // namespace auralyn::test
