#pragma once

#include <cstdint>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// The sweep that synthesiseSweep writes, as a recorder whose clock runs `ppm`
// fast records it from an ideal player: recording sample k holds the played
// signal, taken as the continuous sines and levels the generator sampled, at
// played time k / (1 + ppm / 1e6). Quantised like the generator; length
// round(played length x ratio).
std::vector<std::int16_t> synthesiseDriftedSweep(sweep::SweepPlan plan, double ppm);

}  // namespace auralyn::test
