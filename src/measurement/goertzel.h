#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>

#include "measurement/harmonic_fit.h"

namespace auralyn::measurement {

// The state of one Goertzel recurrence s_n = y_n + 2 cos(theta) s_{n-1} - s_{n-2}
// per harmonic after a whole block, with the block's exact integer sums.
struct GoertzelSums {
    std::array<double, kMaxHarmonic> last{};      // s_{N-1} for harmonic k at index k-1
    std::array<double, kMaxHarmonic> previous{};  // s_{N-2}
    std::size_t count = 0;
    std::int64_t sum = 0;
    std::int64_t sumSquares = 0;
};

// Runs the recurrences for harmonics 1..harmonics of w (radians per sample) in one pass.
GoertzelSums goertzelSums(const std::int16_t* samples, std::size_t count, double w, int harmonics);

// sum over n of y_n exp(i theta (t0 + n)) from a recurrence's final state:
// exp(i theta (t0 + N - 1)) (s_{N-1} - exp(i theta) s_{N-2}).
std::complex<double> toneCorrelation(double last, double previous, std::size_t count, double t0, double theta);

}  // namespace auralyn::measurement
