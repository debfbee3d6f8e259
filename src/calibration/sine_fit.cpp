#include "calibration/sine_fit.h"

#include <array>
#include <cmath>
#include <numbers>

namespace auralyn::calibration {
namespace {

template <std::size_t N>
using Matrix = std::array<std::array<double, N>, N>;

// Solves the normal equations by Gaussian elimination with partial pivoting;
// false where they are singular (a silent or constant block).
template <std::size_t N>
bool solve(Matrix<N> m, std::array<double, N> rhs, std::array<double, N>& x) {
    for (std::size_t col = 0; col < N; ++col) {
        std::size_t pivot = col;
        for (std::size_t row = col + 1; row < N; ++row) {
            if (std::abs(m[row][col]) > std::abs(m[pivot][col])) pivot = row;
        }
        if (!(std::abs(m[pivot][col]) > 1e-300)) return false;
        std::swap(m[col], m[pivot]);
        std::swap(rhs[col], rhs[pivot]);
        for (std::size_t row = col + 1; row < N; ++row) {
            const double factor = m[row][col] / m[col][col];
            for (std::size_t k = col; k < N; ++k) m[row][k] -= factor * m[col][k];
            rhs[row] -= factor * rhs[col];
        }
    }
    for (std::size_t col = N; col-- > 0;) {
        double sum = rhs[col];
        for (std::size_t k = col + 1; k < N; ++k) sum -= m[col][k] * x[k];
        x[col] = sum / m[col][col];
    }
    return true;
}

double centredTime(std::size_t n, std::size_t count) {
    return static_cast<double>(n) - static_cast<double>(count - 1) / 2.0;
}

// One least-squares step: cos, sin, 1 and (with N = 4) the derivative of the
// model with respect to w as columns. Returns the coefficients.
template <std::size_t N>
bool fitStep(std::span<const double> samples, double omega, const std::array<double, 2>& previous,
             std::array<double, N>& coefficients) {
    Matrix<N> normal{};
    std::array<double, N> rhs{};
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = centredTime(n, samples.size());
        const double c = std::cos(omega * t), s = std::sin(omega * t);
        std::array<double, N> row{};
        row[0] = c;
        row[1] = s;
        row[2] = 1.0;
        if constexpr (N == 4) row[3] = t * (-previous[0] * s + previous[1] * c);
        for (std::size_t i = 0; i < N; ++i) {
            rhs[i] += row[i] * samples[n];
            for (std::size_t j = 0; j < N; ++j) normal[i][j] += row[i] * row[j];
        }
    }
    return solve(normal, rhs, coefficients);
}

double residualRms(std::span<const double> samples, double omega, double a, double b, double c) {
    double sum = 0.0;
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = centredTime(n, samples.size());
        const double residual = samples[n] - (a * std::cos(omega * t) + b * std::sin(omega * t) + c);
        sum += residual * residual;
    }
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

SineFit resultOf(std::span<const double> samples, double sampleRate, double omega, double a, double b, double c) {
    SineFit fit;
    fit.frequencyHz = omega * sampleRate / (2.0 * std::numbers::pi);
    fit.cosine = a;
    fit.sine = b;
    fit.amplitude = std::hypot(a, b);
    fit.offset = c;
    fit.residualRms = residualRms(samples, omega, a, b, c);
    return fit;
}

}  // namespace

SineFit fitSineKnownFrequency(std::span<const double> samples, double sampleRate, double frequencyHz) {
    const double omega = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    std::array<double, 3> x{};
    if (samples.size() < 3 || !fitStep<3>(samples, omega, {0.0, 0.0}, x)) {
        return resultOf(samples, sampleRate, omega, 0.0, 0.0, 0.0);
    }
    return resultOf(samples, sampleRate, omega, x[0], x[1], x[2]);
}

SineFit fitSine(std::span<const double> samples, double sampleRate, double startFrequencyHz) {
    double omega = 2.0 * std::numbers::pi * startFrequencyHz / sampleRate;
    std::array<double, 3> linear{};
    if (samples.size() < 4 || !fitStep<3>(samples, omega, {0.0, 0.0}, linear)) {
        return resultOf(samples, sampleRate, omega, 0.0, 0.0, 0.0);
    }
    std::array<double, 2> ab{linear[0], linear[1]};
    double c = linear[2];
    for (int iteration = 0; iteration < 12; ++iteration) {
        std::array<double, 4> x{};
        if (!fitStep<4>(samples, omega, ab, x)) break;
        ab = {x[0], x[1]};
        c = x[2];
        omega += x[3];
        if (std::abs(x[3]) < 1e-13 * omega) break;
    }
    // The last step moved w after fitting a and b: fit them again at the final w.
    if (fitStep<3>(samples, omega, {0.0, 0.0}, linear)) return resultOf(samples, sampleRate, omega, linear[0], linear[1], linear[2]);
    return resultOf(samples, sampleRate, omega, ab[0], ab[1], c);
}

std::vector<double> withoutSine(std::span<const double> samples, double sampleRate, const SineFit& fit) {
    const double omega = 2.0 * std::numbers::pi * fit.frequencyHz / sampleRate;
    std::vector<double> rest(samples.size());
    for (std::size_t n = 0; n < samples.size(); ++n) {
        const double t = centredTime(n, samples.size());
        rest[n] = samples[n] - (fit.cosine * std::cos(omega * t) + fit.sine * std::sin(omega * t) + fit.offset);
    }
    return rest;
}

}  // namespace auralyn::calibration
