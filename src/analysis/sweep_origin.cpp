#include "analysis/sweep_origin.h"

#include <algorithm>
#include <cmath>

#include "clock/sine_fit.h"

namespace auralyn::analysis {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kNewtonSteps = 8;
constexpr std::int32_t kMinFitSamples = 32;

struct Correlation {
    double value = 0.0, slope = 0.0, curvature = 0.0;
};

// The real part of the tones' correlation at `shift` and its first two derivatives.
Correlation correlationAt(std::span<const TonePhase> tones, double shift) {
    Correlation c;
    for (const TonePhase& t : tones) {
        const double omega = kTwoPi * t.cyclesPerSample;
        const double angle = t.phase + omega * shift;
        c.value += t.weight * std::cos(angle);
        c.slope -= t.weight * omega * std::sin(angle);
        c.curvature -= t.weight * omega * omega * std::cos(angle);
    }
    return c;
}

double gridStep(std::span<const TonePhase> tones, double reach) {
    double highest = 0.0;
    for (const TonePhase& t : tones) highest = std::max(highest, t.cyclesPerSample);
    return std::min(0.25 / highest, std::max(reach, 0.25));
}

// Tones whose frequencies share a common divisor (1, 2, 4 and 8 kHz) repeat
// their correlation every period of it: of the peaks that come near the
// highest, the one nearest the start found so far is taken.
constexpr double kNearHighest = 0.95;

double gridPeak(std::span<const TonePhase> tones, double reach) {
    const double step = gridStep(tones, reach);
    std::vector<std::pair<double, double>> grid;  // shift, value
    double highest = -1e300;
    for (double shift = -reach; shift <= reach; shift += step) {
        grid.emplace_back(shift, correlationAt(tones, shift).value);
        highest = std::max(highest, grid.back().second);
    }
    double best = 0.0, bestDistance = 1e300;
    for (const auto& [shift, value] : grid) {
        if (value < kNearHighest * highest || std::fabs(shift) >= bestDistance) continue;
        best = shift;
        bestDistance = std::fabs(shift);
    }
    return best;
}

// var(shift) = sum (d shift / d phase_k)^2 sigma_k^2, with d shift / d phase_k
// = -weight_k omega_k cos(angle_k) / curvature from the stationarity of the slope.
double shiftSigma(std::span<const TonePhase> tones, double shift, double curvature) {
    double variance = 0.0;
    for (const TonePhase& t : tones) {
        const double omega = kTwoPi * t.cyclesPerSample;
        const double d = t.weight * omega * std::cos(t.phase + omega * shift) / curvature;
        variance += d * d * t.phaseSigma * t.phaseSigma;
    }
    return std::sqrt(variance);
}

}  // namespace

OriginShift originShift(std::span<const TonePhase> tones, double reach) {
    if (tones.empty()) return {};
    double shift = gridPeak(tones, reach);
    const double grid = gridStep(tones, reach);
    Correlation c = correlationAt(tones, shift);
    for (int step = 0; step < kNewtonSteps && c.curvature < 0.0; ++step) {
        const double next = shift - c.slope / c.curvature;
        // Newton's steps stay within the grid's cell around the peak it found.
        if (!std::isfinite(next) || std::fabs(next - shift) > grid) break;
        shift = next;
        c = correlationAt(tones, shift);
        if (std::fabs(c.slope / c.curvature) < 1e-9) break;
    }
    if (!(c.curvature < 0.0) || !(c.value > 0.0)) return {};
    OriginShift result;
    result.valid = true;
    result.shift = shift;
    result.sigma = shiftSigma(tones, shift, c.curvature);
    return result;
}

std::vector<TonePhase> quickTonePhases(const std::vector<NominalTone>& tones, std::span<const std::int16_t> recording,
                                       double origin, double ppm, double doubt, double sampleRate) {
    std::vector<TonePhase> phases;
    const std::size_t stride = std::max<std::size_t>(1, tones.size() / kOriginTones);
    const auto edge = static_cast<std::int64_t>(std::ceil(doubt)) + 1;
    for (std::size_t i = 0; i < tones.size(); i += stride) {
        const BlockPlacement block = placeBlock(tones[i], origin, ppm);
        const std::int64_t first = block.first + edge;
        const std::int64_t count = std::min<std::int64_t>(block.count - 2 * edge, kOriginSamplesPerTone);
        if (count < kMinFitSamples || first < 0 || first + count > static_cast<std::int64_t>(recording.size())) continue;
        const double nu = block.frequency / sampleRate;
        // Time zero at the block's placed start: the first sample fitted lies edge + firstTime after it.
        const double firstTime = block.firstTime + static_cast<double>(edge);
        const clock::SineFit fit =
            clock::fitSine(recording.data() + first, static_cast<std::int32_t>(count), firstTime, kTwoPi * nu);
        if (!fit.solved || !(fit.amplitude() > 0.0)) continue;
        const double residual = std::max(fit.residualSquares / static_cast<double>(count - 3), 1.0 / 12.0);
        TonePhase t;
        t.cyclesPerSample = nu;
        t.weight = fit.amplitude();
        t.phase = fit.phase();
        t.phaseSigma = std::sqrt(2.0 * residual / (fit.amplitude() * fit.amplitude() * static_cast<double>(count)));
        phases.push_back(t);
    }
    return phases;
}

}  // namespace auralyn::analysis
