#include "analysis/walk_time_base.h"

#include <cmath>

#include "analysis/clock_walk.h"
#include "analysis/recording_analysis.h"
#include "analysis/time_base_budget.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

// The played offset of the pulse that each tone's walk synchronised to: the
// last one at or before it.
std::vector<std::int64_t> pulseBefore(const std::vector<NominalTone>& nominal) {
    std::vector<std::int64_t> pulses(nominal.size(), 0);
    std::int64_t last = 0;
    for (std::size_t i = 0; i < nominal.size(); ++i) {
        if (nominal[i].syncBefore) last = nominal[i].pulseOffset;
        pulses[i] = last;
    }
    return pulses;
}

}  // namespace

void addWalkTimeBase(const sweep::SweepPlan& plan, const std::vector<NominalTone>& nominal,
                     const std::vector<Sample>& recording, std::int64_t trigger, SweepAnalysis& analysis) {
    const ClockWalk walk = walkClock(plan, nominal, recording, trigger);
    TimeBaseUncertainty timeBase;
    timeBase.ratio = walk.figure.verdict == clock::ClockVerdict::Disagree
                         ? clock::kMaxClockPpm * 1e-6
                         : (std::fabs(walk.figure.ppm) + walk.figure.u95) * 1e-6;
    const LeadInSpan leadIn = leadInBefore(recording, trigger);
    const double threshold = sweep::percentToAmplitude(plan.params().syncThreshold);
    timeBase.originSamples =
        timeBaseUncertainty(walk.figure, true,
                            triggerShiftChance(recording, trigger, threshold, robustNoiseSd(leadIn.samples, leadIn.count)))
            .originSamples;
    const std::vector<std::int64_t> pulses = pulseBefore(nominal);
    const double rate = plan.params().sampleRate;
    for (ToneMeasurement& tone : analysis.tones) {
        if (!tone.quality || tone.index >= nominal.size()) continue;
        const NominalTone& n = nominal[tone.index];
        const double length = static_cast<double>(n.length);
        const double centre = static_cast<double>(n.blockOffset - pulses[tone.index]) + 0.5 * length;
        addTimeBase(*tone.quality, timeBase, n.frequency / rate, centre, length);
    }
}

}  // namespace auralyn::analysis
