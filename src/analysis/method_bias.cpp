#include "analysis/method_bias.h"

#include <algorithm>
#include <cmath>

#include "analysis/fit_uncertainty.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDbPerNeper = 8.685889638065037;  // 20 / ln 10

void widen(ToneQuality& quality, double relativeAmplitude, double radians) {
    quality.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, quality.magnitudeU95Db + kDbPerNeper * relativeAmplitude);
    quality.phaseU95Deg = std::min(kMaxPhaseU95Deg, quality.phaseU95Deg + radians * 180.0 / kPi);
}

}  // namespace

void addRoundingFloor(ToneQuality& quality, double playedAmplitude) {
    if (!quality.fitted || !(quality.amplitude > 0.0) || !(playedAmplitude > 0.0)) return;
    const double relative = kRoundingBoundSteps * (1.0 / quality.amplitude + 1.0 / playedAmplitude);
    widen(quality, relative, relative);
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
