#include "measurement/goertzel.h"

#include <cmath>

namespace auralyn::measurement {
namespace {

// K recurrences side by side: independent chains the compiler can keep in
// vector registers, so the pass costs little more than its loads. The term
// y_n - s_{n-2} is formed off the loop-carried path of each chain.
template <int K>
void runChains(const std::int16_t* samples, std::size_t count, const double* coefficients, GoertzelSums& out) {
    double s1[K] = {};
    double s2[K] = {};
    double c[K];
    for (int k = 0; k < K; ++k) c[k] = coefficients[k];
    std::int64_t sum = 0;
    std::int64_t squares = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const std::int32_t value = samples[n];
        sum += value;
        squares += static_cast<std::int64_t>(value * value);
        const double y = value;
        for (int k = 0; k < K; ++k) {
            const double s0 = (y - s2[k]) + c[k] * s1[k];
            s2[k] = s1[k];
            s1[k] = s0;
        }
    }
    for (int k = 0; k < K; ++k) {
        out.last[k] = s1[k];
        out.previous[k] = s2[k];
    }
    out.sum = sum;
    out.sumSquares = squares;
}

using ChainRunner = void (*)(const std::int16_t*, std::size_t, const double*, GoertzelSums&);

constexpr ChainRunner kRunners[kMaxHarmonic] = {
    runChains<1>, runChains<2>, runChains<3>, runChains<4>, runChains<5>,
    runChains<6>, runChains<7>, runChains<8>, runChains<9>, runChains<10>,
};

}  // namespace

GoertzelSums goertzelSums(const std::int16_t* samples, std::size_t count, double w, int harmonics) {
    GoertzelSums sums;
    sums.count = count;
    if (harmonics < 1 || harmonics > kMaxHarmonic) return sums;
    double coefficients[kMaxHarmonic];
    for (int k = 0; k < harmonics; ++k) coefficients[k] = 2.0 * std::cos((k + 1) * w);
    kRunners[harmonics - 1](samples, count, coefficients, sums);
    return sums;
}

std::complex<double> toneCorrelation(double last, double previous, std::size_t count, double t0, double theta) {
    const std::complex<double> state = last - std::polar(previous, theta);
    return std::polar(1.0, theta * (t0 + static_cast<double>(count) - 1.0)) * state;
}

}  // namespace auralyn::measurement
