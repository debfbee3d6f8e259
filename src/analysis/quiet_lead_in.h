#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/sample.h"

namespace auralyn::analysis {

// A stretch louder than this many times the median stretch's variance (6 dB)
// holds something besides the chain's noise: a click, a cough, a door.
inline constexpr double kQuietLimit = 4.0;

// The lead-in's samples without its loud stretches: split into stretches of
// `stretch` samples, each stretch's variance about its own mean compared with
// the median of them all (whole stretches counted back from the end) (robust: half the stretches may hold clicks), and
// the quiet ones kept, joined in their order. So a click before the sweep
// does not set every tone's noise floor.
std::vector<Sample> quietStretches(const Sample* samples, std::size_t count, std::size_t stretch);

// The median of the stretches' variances: the lead-in's broadband noise, robustly.
double medianStretchVariance(const Sample* samples, std::size_t count, std::size_t stretch);

}  // namespace auralyn::analysis
