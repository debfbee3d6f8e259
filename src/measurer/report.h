#pragma once

#include <cstddef>
#include <cstdio>

#include "measurer/tone_result.h"
#include "sweep/sweep_plan.h"

namespace auralyn::measurer {

// The nine header lines: the recorded file's name and the sweep parameters.
void writeHeader(const sweep::SweepPlan& plan, const char* recordedName, std::FILE* out);

// Unwraps the phases in place along the sweep, normalises the amplitudes to
// their mean and writes one line per tone under the column line. Writes
// nothing at all for no tones.
void writeResults(ToneResult* results, std::size_t count, std::FILE* out);

// Moves each phase by whole turns so that its step from the previous tone lies
// in (-3 pi / 2, pi / 2]; returns the sum of the amplitudes.
double unwrapPhases(ToneResult* results, std::size_t count);

// Radians as the report prints them in degrees: times 180 and 1/pi, the factor
// 1/pi held in extended precision.
double degrees(double radians);

}  // namespace auralyn::measurer
