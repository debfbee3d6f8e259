#include "analysis/tone_quality.h"

#include <cmath>

#include "analysis/fit_uncertainty.h"
#include "analysis/harmonic_detection.h"

namespace auralyn::analysis {
namespace {

constexpr double kSmallestRatio = 1e-20;

// THD+N: the RMS of everything in the block but DC and the fundamental,
// against the fundamental's RMS (A / sqrt 2).
std::optional<double> thdPlusNoise(const HarmonicFit& fit) {
    const double fundamental = fit.amplitude(1);
    if (!(fundamental > 0.0)) return std::nullopt;
    const double rms = std::sqrt(fit.remainderSquares / static_cast<double>(fit.count));
    return amplitudeDb(rms / (fundamental / std::sqrt(2.0)));
}

struct NoiseEstimate {
    double variance = 0.0;
    double dof = 0.0;
    NoiseSource source = NoiseSource::Residual;
};

// The residual's variance with its degrees of freedom, or the lead-in's at this
// frequency where that is larger: hum or coloured noise near the tone shows in
// the lead-in, while the residual spreads the noise over the whole band.
NoiseEstimate noiseVariance(const HarmonicFit& fit, const std::optional<LeadInNoise>& leadIn) {
    NoiseEstimate estimate;
    estimate.dof = static_cast<double>(fit.count) - fit.parameters();
    estimate.variance = fit.residualSquares / estimate.dof;
    if (leadIn && leadIn->variance > estimate.variance) {
        estimate.variance = leadIn->variance;
        estimate.dof = 2.0 * static_cast<double>(leadIn->blocks);
        estimate.source = leadIn->fromSilences ? NoiseSource::Silence : NoiseSource::LeadIn;
    }
    return estimate;
}

void fillNoiseFloor(const HarmonicFit& fit, const std::optional<LeadInNoise>& leadIn, double noiseVarianceFromFit,
                    ToneQuality& q) {
    if (leadIn) {
        q.noiseFloorDbfs = amplitudeDb(leadIn->amplitudeRms / kFullScale);
        q.noiseFloorFromLeadIn = true;
    } else if (fit.valid) {
        const double gain = fit.cosineVariance + fit.sineVariance;
        q.noiseFloorDbfs = amplitudeDb(std::sqrt(noiseVarianceFromFit * gain) / kFullScale);
    }
    if (q.levelDbfs && q.noiseFloorDbfs) q.snrDb = *q.levelDbfs - *q.noiseFloorDbfs;
}

}  // namespace

double amplitudeDb(double ratio) {
    if (!(ratio >= kSmallestRatio)) return 20.0 * std::log10(kSmallestRatio);
    return 20.0 * std::log10(ratio);
}

ToneQuality measureTone(const Sample* samples, std::size_t count, double firstSampleOffset,
                        double cyclesPerSample, const LeadInSpan& leadIn) {
    return qualityFromFit(fitHarmonics(samples, count, firstSampleOffset, cyclesPerSample), count, cyclesPerSample,
                          leadIn);
}

ToneQuality qualityFromFit(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn) {
    return qualityFromFit(fit, count, cyclesPerSample, leadIn, measureLeadInNoise(leadIn, count, cyclesPerSample));
}

ToneQuality qualityFromFit(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn,
                           const std::optional<LeadInNoise>& leadInNoise) {
    ToneQuality q;
    q.magnitudeU95Db = kMaxMagnitudeU95Db;
    q.phaseU95Deg = kMaxPhaseU95Deg;
    if (!fit.valid) {
        if (leadInNoise) q.noiseFloorDbfs = amplitudeDb(leadInNoise->amplitudeRms / kFullScale);
        q.noiseFloorFromLeadIn = leadInNoise.has_value();
        return q;
    }
    q.fitted = true;
    q.amplitude = fit.amplitude(1);
    q.phase = fit.phase();
    if (q.amplitude > 0.0) q.levelDbfs = amplitudeDb(q.amplitude / kFullScale);
    q.dc = fit.dc;
    q.residualRms = std::sqrt(fit.residualSquares / static_cast<double>(count));

    const NoiseEstimate noise = noiseVariance(fit, leadInNoise);
    q.noiseSource = noise.source;
    const Uncertainty95 u = fundamentalUncertainty(fit, noise.variance, noise.dof);
    q.magnitudeU95Db = u.magnitudeDb;
    q.phaseU95Deg = u.phaseDeg;
    fillNoiseFloor(fit, leadInNoise, fit.residualSquares / (static_cast<double>(count) - fit.parameters()), q);
    q.thdnDb = thdPlusNoise(fit);
    // Below its own noise a tone's harmonics would be numbers read off the noise.
    if (q.snrDb && *q.snrDb >= 0.0) fillDistortion(fit, count, cyclesPerSample, leadIn, q);
    return q;
}

}  // namespace auralyn::analysis
