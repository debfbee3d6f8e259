#include "clock/progression_sum.h"

#include <cmath>
#include <numbers>

namespace auralyn::clock {

std::complex<double> progressionSum(std::size_t count, double t0, double theta) {
    const double n = static_cast<double>(count);
    const double half = 0.5 * theta;
    const double denominator = std::sin(half);
    double kernel = 0.0;
    if (std::fabs(denominator) < 1e-12) {
        // theta/2 at a multiple of pi: every term has the same sign pattern.
        const double turns = std::round(half / std::numbers::pi);
        const bool odd = std::fmod(std::fabs(turns), 2.0) == 1.0;
        kernel = (odd && count % 2 == 0) ? -n : n;
    } else {
        kernel = std::sin(n * half) / denominator;
    }
    return std::polar(kernel, theta * (t0 + 0.5 * (n - 1.0)));
}

}  // namespace auralyn::clock
