#include "clock/sine_fit.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "clock/progression_sum.h"

namespace auralyn::clock {
namespace {

// Interleaved chains: chain l runs over samples l, l + 8, l + 16... so that
// eight independent recurrences overlap in the pipeline.
constexpr int kChains = 8;

// The sums of the normal equations of the three-parameter fit.
struct FitSums {
    double c = 0, s = 0, cc = 0, ss = 0, sc = 0, y = 0, yc = 0, ys = 0, yy = 0;
};

// Reinsch's stable form of the Goertzel recurrence (s_n = y_n + 2 cos(theta)
// s_{n-1} - s_{n-2}), which keeps its accuracy where cos(theta) nears +-1:
// sigma = sign of cos(theta), lambda = 2 cos(theta) - 2 sigma,
// d_n = (sigma d_{n-1} + y_n) + lambda s_{n-1}, s_n = d_n + sigma s_{n-1}.
struct Reinsch {
    double lambda = 0.0;
    double sigma = 1.0;
    // Terms of the correlation that depend on theta alone, worked out once
    // rather than for every chain.
    std::complex<double> oneMinus;   // 1 - sigma exp(-i theta), in a form exact near theta = 0 or pi
    std::complex<double> sigmaTurn;  // sigma exp(i theta)

    explicit Reinsch(double theta) {
        const double half = 0.5 * theta;
        if (std::cos(theta) >= 0.0) {
            lambda = -4.0 * std::sin(half) * std::sin(half);
        } else {
            lambda = 4.0 * std::cos(half) * std::cos(half);
            sigma = -1.0;
        }
        oneMinus = sigma > 0.0 ? std::complex<double>(2.0 * std::sin(half) * std::sin(half), -std::sin(theta))
                               : std::complex<double>(2.0 * std::cos(half) * std::cos(half), std::sin(theta));
        sigmaTurn = sigma * std::polar(1.0, theta);
    }

    // exp(i theta (count - 1)) for a chain of `count` steps: the turn to the
    // chain's last sample, shared by all chains of one length.
    static std::complex<double> endTurn(std::int64_t count, double theta) {
        return std::polar(1.0, theta * (static_cast<double>(count) - 1.0));
    }

    // sum over m < count of y_m exp(i theta m) from the final s and d.
    std::complex<double> correlation(double s, double d, const std::complex<double>& toEnd) const {
        const std::complex<double> state = s * oneMinus + sigmaTurn * d;
        return toEnd * state;
    }
};

// Sums of 16-bit codes are kept in integers, so they are exact; finer samples
// (24-bit, float) in doubles.
template <typename T>
struct SampleSum {
    using type = std::int64_t;
};
template <>
struct SampleSum<float> {
    using type = double;
};

// The normal equations' sums from the data's three sums; the sines' and
// cosines' own sums in closed form.
FitSums fitSums(std::int32_t count, double firstTime, double omega, double sampleSum, double squareSum,
                std::complex<double> correlation) {
    const std::complex<double> once = progressionSum(static_cast<std::size_t>(count), firstTime, omega);
    const std::complex<double> twice = progressionSum(static_cast<std::size_t>(count), firstTime, 2.0 * omega);
    const double n = static_cast<double>(count);
    FitSums t;
    t.c = once.real();
    t.s = once.imag();
    t.cc = 0.5 * (n + twice.real());
    t.ss = 0.5 * (n - twice.real());
    t.sc = 0.5 * twice.imag();
    t.y = sampleSum;
    t.yc = correlation.real();
    t.ys = correlation.imag();
    t.yy = squareSum;
    return t;
}

// sum over n of y_n exp(i omega n), with the samples' sum and sum of squares:
// chain l correlates its samples at kChains omega, then turns by omega l.
template <typename T>
FitSums accumulate(const T* samples, std::int32_t count, double firstTime, double omega) {
    using Sum = typename SampleSum<T>::type;
    const double theta = kChains * omega;
    const Reinsch r(theta);
    double s[kChains] = {};
    double d[kChains] = {};
    // Plain sums per chain too: one running sum would put kChains additions
    // in a row into each step.
    Sum chainSums[kChains] = {};
    Sum chainSquares[kChains] = {};
    const std::int32_t steps = count / kChains;
    for (std::int32_t m = 0; m < steps; ++m) {
        const T* y = samples + m * kChains;
        for (int l = 0; l < kChains; ++l) {
            const Sum value = y[l];
            chainSums[l] += value;
            chainSquares[l] += value * value;
            const double next = (r.sigma * d[l] + value) + r.lambda * s[l];
            s[l] = next + r.sigma * s[l];
            d[l] = next;
        }
    }
    Sum sum = 0;
    Sum squares = 0;
    for (int l = 0; l < kChains; ++l) {
        sum += chainSums[l];
        squares += chainSquares[l];
    }
    std::complex<double> correlation = 0.0;
    const std::complex<double> toEnd = Reinsch::endTurn(steps, theta);
    for (int l = 0; l < kChains; ++l) correlation += std::polar(1.0, omega * l) * r.correlation(s[l], d[l], toEnd);
    for (std::int32_t n = steps * kChains; n < count; ++n) {
        const Sum value = samples[n];
        sum += value;
        squares += value * value;
        correlation += std::polar(static_cast<double>(value), omega * static_cast<double>(n));
    }
    correlation *= std::polar(1.0, omega * firstTime);
    return fitSums(count, firstTime, omega, static_cast<double>(sum), static_cast<double>(squares), correlation);
}

// Solves the symmetric 3x3 normal equations by Cramer's rule.
bool solve(const FitSums& m, double n, SineFit& fit) {
    const double a11 = m.cc, a12 = m.sc, a13 = m.c, a22 = m.ss, a23 = m.s, a33 = n;
    const double c11 = a22 * a33 - a23 * a23;
    const double c12 = a13 * a23 - a12 * a33;
    const double c13 = a12 * a23 - a13 * a22;
    const double det = a11 * c11 + a12 * c12 + a13 * c13;
    const double scale = a11 * a22 * a33;
    if (!(std::fabs(det) > 1e-9 * scale) || !(scale > 0.0)) return false;
    const double c22 = a11 * a33 - a13 * a13;
    const double c23 = a12 * a13 - a11 * a23;
    const double c33 = a11 * a22 - a12 * a12;
    fit.cosineCoefficient = (c11 * m.yc + c12 * m.ys + c13 * m.y) / det;
    fit.sineCoefficient = (c12 * m.yc + c22 * m.ys + c23 * m.y) / det;
    fit.offset = (c13 * m.yc + c23 * m.ys + c33 * m.y) / det;
    const double explained = fit.cosineCoefficient * m.yc + fit.sineCoefficient * m.ys + fit.offset * m.y;
    fit.residualSquares = std::max(0.0, m.yy - explained);
    return true;
}

}  // namespace

double SineFit::amplitude() const { return std::hypot(cosineCoefficient, sineCoefficient); }

double SineFit::phase() const {
    if (cosineCoefficient == 0.0 && sineCoefficient == 0.0) return 0.0;
    return std::atan2(cosineCoefficient, sineCoefficient);
}

template <typename T>
SineFit fitSineTo(const T* samples, std::int32_t count, double firstTime, double omega) {
    SineFit fit;
    fit.count = count;
    if (samples == nullptr || count < 3) return fit;
    fit.solved = solve(accumulate(samples, count, firstTime, omega), static_cast<double>(count), fit);
    return fit;
}

SineFit fitSine(const std::int16_t* samples, std::int32_t count, double firstTime, double omega) {
    return fitSineTo(samples, count, firstTime, omega);
}

SineFit fitSine(const float* samples, std::int32_t count, double firstTime, double omega) {
    return fitSineTo(samples, count, firstTime, omega);
}

SineFit fitSine(const BlockSums& sums, std::int32_t count, double firstTime, double omega) {
    SineFit fit;
    fit.count = count;
    if (count < 3) return fit;
    const FitSums t = fitSums(count, firstTime, omega, sums.sampleSum, sums.squareSum, sums.correlation);
    fit.solved = solve(t, static_cast<double>(count), fit);
    return fit;
}

}  // namespace auralyn::clock
