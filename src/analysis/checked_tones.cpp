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

// A steady tone may still carry what its halves tell apart: a resonance that
// rings into the block, decayed below the steadiness limit yet above the
// interval at a high SNR, moves the first half away from the second and the
// whole block with it by about half their distance. Left uncorrected, that
// effect is bounded in the manner of the GUM for a known systematic effect:
// the magnitude interval is held at least as wide as twice the halves'
// distance, the bound widen() takes for a tone still settling. Only where
// noise does not explain the distance (halvesDisagree): otherwise the
// interval's own noise term covers the halves' spread already, and holding it
// wider claims more than 95 %. The whole distance then counts, noise and all:
// a ringing tone's block lies further from the truth than its halves apart.
// The phase is left as it is: its intervals hold already, and held wider they
// would claim far more than 95 %.
void holdHalvesSpread(ToneQuality& q, const SteadinessCheck& check) {
    if (!halvesDisagree(check.halvesStatistic)) return;
    q.magnitudeU95Db = std::min(kMaxMagnitudeU95Db, std::max(q.magnitudeU95Db, 2.0 * check.magnitudeSpreadDb));
}

}  // namespace

bool halvesDisagree(double halvesStatistic) { return halvesStatistic > kNoiseHalvesStatistic; }

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
        if (check.steady && tone.quality) holdHalvesSpread(*tone.quality, check);
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
