#pragma once

#include <vector>

#include "analysis/sample.h"
#include "analysis/sweep_analysis.h"

namespace auralyn::analysis {

// The coarsest grid every sample of the recording lies on, in sample units: a
// power of two from `step` (the file's own resolution) up to 4096. An 8-bit
// recording kept in a 16-bit file lies on a grid of 256.
double sampleGrid(const std::vector<Sample>& recording, double step);

// A recording rounded to a grid coarser than its file's without dither
// leaves an error that follows the tone (its harmonics and their aliases),
// not noise: an interval from the residual's level, which is then no more
// than the rounding's grid^2 / 12, does not hold. Such a tone (its residual
// within kUnditheredShare of that) is flagged `quantized` and its intervals
// widened by the rounding's worst case: an error of at most grid / 2 per
// sample moves the fitted fundamental by at most (2 / N) (grid / 2) sum |cos|
// = 2 grid / pi along any direction, in amplitude and in phase (over the
// amplitude). Dithered rounding leaves grid^2 / 4 and stays noise.
void boundCoarseRounding(double grid, double step, std::vector<ToneMeasurement>& tones);

inline constexpr double kUnditheredShare = 1.5;

}  // namespace auralyn::analysis
