#include "analysis/coarse_rounding.h"

#include <algorithm>
#include <cmath>

#include "analysis/angles.h"
#include "analysis/fit_uncertainty.h"

namespace auralyn::analysis {
namespace {

constexpr double kCoarsestGrid = 4096.0;
// The worst case of a block of few cycles exceeds 2 / pi a little.
constexpr double kFewCyclesMargin = 1.1;

}  // namespace

double sampleGrid(const std::vector<Sample>& recording, double step) {
    double grid = kCoarsestGrid;
    bool any = false;
    for (const Sample x : recording) {
        if (x == 0.0f) continue;
        any = true;
        while (grid > step && std::fmod(static_cast<double>(x), grid) != 0.0) grid *= 0.5;
        if (grid <= step) return step;
    }
    return any ? grid : step;
}

void boundCoarseRounding(double grid, double step, std::vector<ToneMeasurement>& tones) {
    if (!(grid > step)) return;
    const double roundingVariance = grid * grid / 12.0;
    const double bound = kFewCyclesMargin * 2.0 * grid / kPi;
    for (ToneMeasurement& tone : tones) {
        if (!tone.quality || !tone.quality->fitted || !tone.steadiness || tone.steadiness->flag != ToneFlag::None) continue;
        ToneQuality& q = *tone.quality;
        if (!(q.amplitude > 0.0) || q.residualRms * q.residualRms > kUnditheredShare * roundingVariance) continue;
        const double relative = bound / q.amplitude;
        q.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, q.magnitudeU95Db + 20.0 * std::log10(1.0 + relative));
        q.phaseU95Deg = std::min(kMaxPhaseU95Deg, q.phaseU95Deg + std::asin(std::min(1.0, relative)) * 180.0 / kPi);
        tone.steadiness->flag = ToneFlag::Quantized;
    }
}

}  // namespace auralyn::analysis
