#include "clock/tone_frequency.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "clock/sine_fit.h"

namespace auralyn::clock {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr std::int32_t kMinSamples = 16;
constexpr int kMaxIterations = 4;
// A correction that turns the phase over the whole block by less than this
// leaves no bias worth another pass: the halves' phases refer to their centres
// up to terms of second order in the offset.
constexpr double kSettledPhase = 1e-3;

double wrapped(double angle) { return std::remainder(angle, kTwoPi); }

struct HalvesFit {
    SineFit first, second;
    double centreDistance = 0.0;  // samples
};

template <typename T>
HalvesFit fitHalves(const T* samples, std::int32_t count, double omega) {
    const std::int32_t firstCount = count / 2;
    const std::int32_t secondCount = count - firstCount;
    HalvesFit halves;
    halves.first = fitSine(samples, firstCount, 0.0, omega);
    halves.second = fitSine(samples + firstCount, secondCount, static_cast<double>(firstCount), omega);
    halves.centreDistance = 0.5 * (static_cast<double>(firstCount) + static_cast<double>(secondCount));
    return halves;
}

// Standard error of the angular frequency: each half's phase has variance
// 2 sigma^2 / (A^2 n) for white residual of variance sigma^2 (IEEE Std 1057,
// the three-parameter fit's covariance), and the two halves are independent.
double omegaStandardError(const HalvesFit& h, double amplitude, double residualVariance) {
    const double a2 = amplitude * amplitude;
    const double v1 = 2.0 * residualVariance / (a2 * h.first.count);
    const double v2 = 2.0 * residualVariance / (a2 * h.second.count);
    return std::sqrt(v1 + v2) / h.centreDistance;
}

// Below the rounding of the samples' own resolution a residual means an exact
// synthetic tone: 1/12 of a step for 16-bit codes, of a 24-bit step otherwise.
template <typename T>
constexpr double kRoundingVariance = 1.0 / 12.0;
template <>
constexpr double kRoundingVariance<float> = 1.0 / 12.0 / 65536.0;

HalvesFit fitHalves(const HalvesSums& sums, std::int32_t count) {
    const std::int32_t firstCount = count / 2;
    const std::int32_t secondCount = count - firstCount;
    HalvesFit halves;
    halves.first = fitSine(sums.first, firstCount, 0.0, sums.omega);
    halves.second = fitSine(sums.second, secondCount, static_cast<double>(firstCount), sums.omega);
    halves.centreDistance = 0.5 * (static_cast<double>(firstCount) + static_cast<double>(secondCount));
    return halves;
}

// Each half's residual per sample, floored at the rounding: the larger over the smaller.
double halvesRatio(const HalvesFit& h, double floor) {
    const double first = std::max(floor, h.first.residualSquares / std::max(1, h.first.count - 3));
    const double second = std::max(floor, h.second.residualSquares / std::max(1, h.second.count - 3));
    return std::max(first, second) / std::min(first, second);
}

template <typename T>
FrequencyEstimate estimateFrom(const T* samples, std::int32_t count, double expectedFrequency, double sampleRate,
                               const HalvesSums* atStart = nullptr) {
    FrequencyEstimate estimate;
    if (samples == nullptr || count < kMinSamples || !(sampleRate > 0.0)) return estimate;
    if (!(expectedFrequency > 0.0) || !(expectedFrequency < 0.5 * sampleRate)) return estimate;
    double omega = atStart != nullptr ? atStart->omega : kTwoPi * expectedFrequency / sampleRate;
    HalvesFit halves;
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        halves = iteration == 0 && atStart != nullptr ? fitHalves(*atStart, count) : fitHalves(samples, count, omega);
        if (!halves.first.solved || !halves.second.solved) return estimate;
        const double turn = wrapped(halves.second.phase() - halves.first.phase());
        const double correction = turn / halves.centreDistance;
        omega += correction;
        if (!(omega > 0.0) || !(omega < kPi)) return estimate;
        if (std::fabs(correction) * count < kSettledPhase) break;
    }
    const double amplitude = 0.5 * (halves.first.amplitude() + halves.second.amplitude());
    const double dof = static_cast<double>(count) - 6.0;
    const double residualVariance = (halves.first.residualSquares + halves.second.residualSquares) / dof;
    const double noiseFloor = residualVariance > kRoundingVariance<T> ? residualVariance : kRoundingVariance<T>;
    estimate.amplitude = amplitude;
    estimate.signalToNoise = 0.5 * amplitude * amplitude / noiseFloor;
    estimate.halvesResidualRatio = halvesRatio(halves, kRoundingVariance<T>);
    estimate.frequency = omega * sampleRate / kTwoPi;
    estimate.standardError = omegaStandardError(halves, amplitude, noiseFloor) * sampleRate / kTwoPi;
    estimate.valid = estimate.signalToNoise >= kMinSignalToNoise && std::isfinite(estimate.standardError);
    return estimate;
}

}  // namespace

FrequencyEstimate estimateFrequency(const std::int16_t* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate) {
    return estimateFrom(samples, count, expectedFrequency, sampleRate);
}

FrequencyEstimate estimateFrequency(const float* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate) {
    return estimateFrom(samples, count, expectedFrequency, sampleRate);
}

FrequencyEstimate estimateFrequency(const std::int16_t* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate, const HalvesSums& atStart) {
    return estimateFrom(samples, count, expectedFrequency, sampleRate, &atStart);
}

}  // namespace auralyn::clock
