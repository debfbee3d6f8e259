#include "analysis/checked_tones.h"

#include <algorithm>
#include <cmath>

#include "analysis/clock_drift.h"
#include "analysis/fit_uncertainty.h"

namespace auralyn::analysis {
namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

ToneFlag flagOf(const SteadinessCheck& check, const ToneMeasurement& tone) {
    if (breaksSteadiness(check.flag)) return check.flag;
    if (tone.clipped) return ToneFlag::Clipped;
    if (tone.quality && tone.quality->snrDb && *tone.quality->snrDb < kBelowNoiseSnrDb) return ToneFlag::BelowNoise;
    if (tone.quality && tone.quality->fitted && !tone.quality->snrDb) return ToneFlag::BelowNoise;
    return ToneFlag::None;
}

void widen(ToneQuality& q, const SteadinessCheck& check) {
    q.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, q.magnitudeU95Db + 2.0 * check.magnitudeSpreadDb);
    q.phaseU95Deg = std::min(kMaxPhaseU95Deg, q.phaseU95Deg + 2.0 * check.phaseSpreadDeg);
}

}  // namespace

void applyChecks(const std::vector<SteadinessCheck>& checks, const std::vector<ToneTiming>& timing,
                 std::vector<ToneMeasurement>& tones) {
    for (std::size_t i = 0; i < tones.size() && i < checks.size(); ++i) {
        ToneMeasurement& tone = tones[i];
        SteadinessCheck check = checks[i];
        tone.placed = i >= timing.size() || timing[i].placed;
        if (!tone.placed) check.flag = ToneFlag::Jump;
        check.flag = flagOf(check, tone);
        check.steady = !breaksSteadiness(check.flag);
        if (!check.steady && tone.quality) widen(*tone.quality, check);
        tone.steadiness = check;
    }
}

void addDriftUncertainty(const ClockModel& model, const std::vector<double>& blockOffsets, double rate,
                         std::vector<ToneMeasurement>& tones) {
    for (std::size_t i = 0; i < tones.size() && i < blockOffsets.size(); ++i) {
        if (!tones[i].quality) continue;
        ToneQuality& q = *tones[i].quality;
        const double sd = driftPhaseSd(model, blockOffsets[i], tones[i].frequency, rate) * kDegreesPerRadian;
        q.phaseU95Deg = std::min(kMaxPhaseU95Deg, std::hypot(q.phaseU95Deg, 1.96 * sd));
    }
}

}  // namespace auralyn::analysis
