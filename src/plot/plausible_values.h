#pragma once

#include <cstddef>
#include <string>

#include "plot/measurement.h"

namespace auralyn::plot {

// What a plot accepts. A sweep plays tones between a fraction of a hertz and
// half its sampling rate; analyze writes no level below -400 dB; anything far
// outside is a damaged or foreign file, and drawing it would put infinities
// into the axes' arithmetic.
inline constexpr double kLowestFrequencyHz = 1e-3;
inline constexpr double kHighestFrequencyHz = 1e7;
inline constexpr double kLargestDb = 1000.0;          // magnitudes, dBc, dBFS, dB intervals
inline constexpr double kLargestPhaseDeg = 1e9;       // unwrapped along the longest sweep
// A plot of more tones shows nothing more, and its SVG (two circles a tone)
// would be many times the size of the table it comes from.
inline constexpr std::size_t kMostTones = 100000;

// False, with the tone and the value named, when any tone of the measurement
// holds a number outside the ranges above.
bool checkPlausible(const Measurement& measurement, std::string& error);

// The tones left out of the drawing, by reason, as a phrase: "3 tones with an
// amplitude of 0", "2 tones without a finite magnitude and phase", or both
// joined by "and".
std::string leftOutText(const Measurement& measurement);

}  // namespace auralyn::plot
