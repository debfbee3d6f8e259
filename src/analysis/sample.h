#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace auralyn::analysis {

// A recorded sample as the measuring library takes it: floating point in the
// units of a 16-bit code (full scale is 32768), so that 16-bit recordings are
// held exactly and a 24-bit one keeps its eight further bits (a float's 24-bit
// significand holds every 24-bit code exactly at this scale). Levels,
// thresholds and reported amplitudes keep the units that echoprobe's report
// uses, whatever the file's resolution.
using Sample = float;

// The nearest whole number to a value within 2^22 of zero, still a float.
// Adding and taking away 1.5 x 2^23 rounds it to the nearest integer (ties to
// even) in the current rounding mode, as nearbyint does, without a call per
// sample, so that loops over samples vectorize.
inline float nearestWhole(float value) {
    constexpr float kRounder = 12582912.0f;
    return (value + kRounder) - kRounder;
}

// The 16-bit code a sample rounds to (the nearest, clipped to the range), for
// what is judged in codes: sync levels, peaks, a 16-bit file's samples.
inline std::int16_t nearestCode(Sample sample) {
    return static_cast<std::int16_t>(nearestWhole(std::clamp(sample, -32768.0f, 32767.0f)));
}

}  // namespace auralyn::analysis
