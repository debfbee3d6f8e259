#include "analysis/harmonic_detection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "analysis/method_bias.h"

namespace auralyn::analysis {
namespace {

constexpr double kFamilyAlpha = 0.05 / kHarmonicFamily;
// THD from the clear harmonics stands where the others, at their upper
// limits, could lift it by no more than this (dB); else it is a bound.
constexpr double kThdUnseenDb = 0.1;

struct HarmonicReading {
    double amplitude = 0.0;
    double upperLimit = 0.0;  // the upper end of its interval, sample units
    bool clear = false;
};

// The squared distance of (c, s) from zero in units of its covariance C:
// [c s] C^-1 [c s]^T.
double mahalanobisSquared(const HarmonicTerm& term, const TermCovariance& c, double variance) {
    const double det = c.cosine * c.sine - c.cross * c.cross;
    if (!(det > 0.0) || !(variance > 0.0)) return 0.0;
    const double q = (term.cosine * term.cosine * c.sine - 2.0 * term.cosine * term.sine * c.cross +
                      term.sine * term.sine * c.cosine) / det;
    return q / variance;
}

// The larger eigenvalue of the 2x2 covariance: the widest direction of the interval.
double largestEigenvalue(const TermCovariance& c) {
    const double mean = 0.5 * (c.cosine + c.sine);
    const double half = 0.5 * (c.cosine - c.sine);
    return mean + std::hypot(half, c.cross);
}

// The residual's noise, or the lead-in's at the harmonic where that is larger.
HarmonicNoise noiseWith(const HarmonicFit& fit, const std::optional<LeadInNoise>& atHarmonic) {
    HarmonicNoise noise;
    noise.dof = static_cast<double>(fit.count) - fit.parameters();
    noise.variance = noise.dof > 0.0 ? fit.residualSquares / noise.dof : 0.0;
    if (atHarmonic && atHarmonic->variance > noise.variance) {
        noise.variance = atHarmonic->variance;
        noise.dof = 2.0 * static_cast<double>(atHarmonic->blocks);
    }
    return noise;
}

HarmonicReading readHarmonic(const HarmonicFit& fit, int k, const HarmonicNoise& noise, const LeadInSpan& leadIn) {
    const double threshold = clearanceThreshold(noise.dof, kFamilyAlpha);
    HarmonicReading r;
    r.amplitude = fit.amplitude(k);
    // Rounding the played sweep to 16 bits (carried through the device's gain)
    // and the recording to its own resolution may each leave this much at any frequency.
    const double recordedStep = std::sqrt(leadIn.roundingVariance / kQuantizationVariance);
    const double rounding = kRoundingBoundSteps * (recordedStep + fit.amplitude(1) / kFullScale);
    const double radius = std::sqrt(threshold * noise.variance * largestEigenvalue(fit.covariance[k]));
    r.upperLimit = std::max(r.amplitude + radius, rounding);
    r.clear = mahalanobisSquared(fit.terms[k], fit.covariance[k], noise.variance) > threshold && r.amplitude > rounding;
    return r;
}

}  // namespace

double clearanceThreshold(double dof, double alpha) {
    if (!(dof > 0.0)) return std::numeric_limits<double>::infinity();
    return dof * std::expm1(-2.0 / dof * std::log(alpha));
}

HarmonicNoise harmonicNoise(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, int k,
                            const LeadInSpan& leadIn) {
    return noiseWith(fit, measureLeadInNoise(leadIn, count, k * cyclesPerSample));
}

void fillDistortion(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn,
                    ToneQuality& quality) {
    const double fundamental = fit.amplitude(1);
    if (fit.harmonics < 2 || !(fundamental > 0.0)) return;
    // The lead-in's noise at every harmonic at once (their sums run side by side).
    std::array<double, kMaxHarmonic + 1> frequencies{};
    for (int k = 2; k <= fit.harmonics; ++k) frequencies[k] = k * cyclesPerSample;
    std::array<std::optional<LeadInNoise>, kMaxHarmonic + 1> leadInNoise{};
    measureLeadInNoise(leadIn, count, frequencies.data() + 2, static_cast<std::size_t>(fit.harmonics - 1),
                       leadInNoise.data() + 2);
    double squares = 0.0;
    double upperSquares = 0.0;
    double unseenSquares = 0.0;
    for (int k = 2; k <= fit.harmonics; ++k) {
        const HarmonicReading h = readHarmonic(fit, k, noiseWith(fit, leadInNoise[k]), leadIn);
        if (!h.clear) {
            unseenSquares += h.upperLimit * h.upperLimit;
            continue;
        }
        squares += h.amplitude * h.amplitude;
        upperSquares += h.upperLimit * h.upperLimit;
        quality.harmonicDbc[k] = amplitudeDb(h.amplitude / fundamental);
    }
    const double unseenLimit = std::pow(10.0, kThdUnseenDb / 10.0) - 1.0;
    if (!(squares > 0.0) || unseenSquares > unseenLimit * squares) {
        quality.thdDbUpper = amplitudeDb(std::sqrt(upperSquares + unseenSquares) / fundamental);
        return;
    }
    const double thd = std::sqrt(squares) / fundamental;
    quality.thdDb = amplitudeDb(thd);
    quality.thdPercent = 100.0 * thd;
}

}  // namespace auralyn::analysis
