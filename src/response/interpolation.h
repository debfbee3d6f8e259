#pragma once

#include <vector>

#include "response/response.h"

namespace auralyn::response {

// The value of a curve sampled at increasing `x` (frequencies), taken
// linearly on a logarithmic frequency axis between the two neighbours of
// `at`; `at` must lie within [x.front(), x.back()].
double interpolateOnLogAxis(const std::vector<double>& x, const std::vector<double>& y, double at);

// The response at the given increasing frequencies, all inside its own:
// magnitude in dB, continuous phase, intervals and extra columns each taken
// linearly on the log-frequency axis. A frequency that is not one of the
// response's tones is flagged kInterpolated.
Response resampleAt(const Response& response, const std::vector<double>& frequencies);

// The log grid of `pointsPerOctave` points per octave (1 to 1000) that passes
// through 1 kHz, within the response's first and last tone.
std::vector<double> logGrid(double first, double last, int pointsPerOctave);

// resampleAt(response, logGrid(...)); refused when fewer than two grid
// points fall inside the response.
Response resampleOnLogGrid(const Response& response, int pointsPerOctave);

}  // namespace auralyn::response
