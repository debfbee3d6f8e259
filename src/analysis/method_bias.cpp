#include "analysis/method_bias.h"

#include <algorithm>
#include <cmath>

#include "analysis/fit_uncertainty.h"
#include "analysis/lead_in_noise.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDbPerNeper = 8.685889638065037;  // 20 / ln 10

void widen(ToneQuality& quality, double relativeAmplitude, double radians) {
    quality.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, quality.magnitudeU95Db + kDbPerNeper * relativeAmplitude);
    quality.phaseU95Deg = std::min(kMaxPhaseU95Deg, quality.phaseU95Deg + radians * 180.0 / kPi);
}

void floorAt(ToneQuality& quality, double relativeAmplitude, double radians) {
    quality.magnitudeU95Db = std::max(quality.magnitudeU95Db, kDbPerNeper * relativeAmplitude);
    quality.phaseU95Deg = std::max(quality.phaseU95Deg, radians * 180.0 / kPi);
}

}  // namespace

std::size_t repeatingPeriod(double cyclesPerSample, std::size_t longest) {
    if (!(cyclesPerSample > 0.0) || !(cyclesPerSample < 1.0)) return 0;
    // A period found only to this many cycles would let the pattern slide by
    // far less than a step of a full-scale tone over the longest block.
    constexpr double kCycleTolerance = 1e-9;
    const auto repeats = [cyclesPerSample](double q) {
        const double cycles = q * cyclesPerSample;
        return std::fabs(cycles - std::nearbyint(cycles)) <= kCycleTolerance;
    };
    // The shortest period q brings q times the frequency nearer a whole number
    // than any shorter one does: a best approximation of the second kind,
    // hence the denominator of one of the frequency's continued-fraction
    // convergents (Khinchin, Continued Fractions, ch. II). Trying those alone
    // takes a few dozen steps where every length up to the block took tens
    // of thousands, once per tone.
    double before = 0.0, denominator = 1.0, rest = cyclesPerSample;
    for (int term = 0; term < 64; ++term) {
        if (denominator > static_cast<double>(longest)) return 0;
        if (repeats(denominator)) return static_cast<std::size_t>(denominator);
        if (!(rest > 0.0)) return 0;
        const double inverse = 1.0 / rest;
        const double quotient = std::floor(inverse);
        rest = inverse - quotient;
        const double next = quotient * denominator + before;
        before = denominator;
        denominator = next;
    }
    return 0;
}

double repeatingRoundingVariance(double cyclesPerSample, double blockLength) {
    if (!(blockLength >= 1.0) || !std::isfinite(blockLength)) return 0.0;
    // A period longer than this adds under 2.6e-6 steps squared: not looked for.
    constexpr double kLongestPeriod = 65536.0;
    const std::size_t period =
        repeatingPeriod(cyclesPerSample, static_cast<std::size_t>(std::min(blockLength, kLongestPeriod)));
    if (period == 0) return 0.0;
    return std::max(0.0, 2.0 * kQuantizationVariance * (1.0 / static_cast<double>(period) - 1.0 / blockLength));
}

void addPlayedRounding(ToneQuality& quality, double playedAmplitude, double playedCyclesPerSample,
                       double blockLength) {
    if (!quality.fitted || !(playedAmplitude > 0.0)) return;
    const double excess = repeatingRoundingVariance(playedCyclesPerSample, blockLength);
    if (!(excess > 0.0)) return;
    const double relativeSd = std::sqrt(excess) / playedAmplitude;
    quality.magnitudeU95Db =
        std::min(kMaxMagnitudeU95Db, std::hypot(quality.magnitudeU95Db, kNormal95 * kDbPerNeper * relativeSd));
    quality.phaseU95Deg = std::min(kMaxPhaseU95Deg, std::hypot(quality.phaseU95Deg, kNormal95 * relativeSd * 180.0 / kPi));
}

bool dithered(double residualRms, double step) {
    return residualRms * residualRms >= (kDitheringNoiseSteps * kDitheringNoiseSteps + kQuantizationVariance) * step * step;
}

void addRoundingFloor(ToneQuality& quality, double playedAmplitude, double blockLength, double step) {
    if (!quality.fitted || !(quality.amplitude > 0.0) || !(playedAmplitude > 0.0) || !(blockLength > 0.0)) return;
    // Gaussian noise of half a step or more dithers the recorder's rounding:
    // its error is then uniform and independent of the tone to within a few
    // per cent (Widrow and Kollar, Quantization Noise, 2008, ch. 11), so the
    // residual holds it as noise of a twelfth of a step squared and the
    // interval's own noise term covers it. Below that it may line up with the tone.
    const double recorded = !dithered(quality.residualRms, step) ? kRoundingBoundSteps * step / quality.amplitude : 0.0;
    const double played = kNormal95 * std::sqrt(2.0 * kQuantizationVariance / blockLength) / playedAmplitude;
    floorAt(quality, recorded + played, recorded + played);
}

void addWalkBias(ToneMeasurement& tone) {
    if (!tone.quality || !tone.quality->fitted) return;
    ToneQuality& quality = *tone.quality;
    if (!(tone.amplitude > 0.0) || !(quality.amplitude > 0.0)) return;
    const double relative = std::fabs(std::log(tone.amplitude / quality.amplitude));
    const double radians = std::fabs(std::remainder(tone.phase - quality.phase, 2.0 * kPi));
    widen(quality, relative, radians);
}

}  // namespace auralyn::analysis
