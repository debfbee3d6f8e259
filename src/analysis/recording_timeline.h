#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/tone_steadiness.h"
#include "analysis/tone_timeline.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// Where every tone of a recording lies, once the clock model and the jumps are known.
struct RecordingTimeline {
    std::vector<ToneTiming> timing;        // one per tone of the plan's schedule
    std::vector<TimingJump> jumps;
    std::optional<ClockModel> clockModel;  // where the clock was measured
    // Per tone, the halves of the block the jump search last tried for it
    // (empty without a search): the steadiness check takes them where the
    // tone stayed on that block.
    std::vector<HalvesFit> halves;
};

// The clock-corrected sweep's constant ratio, tested against the tones' own
// readings of it along the recording (clock_drift.h) and followed where it
// drifts, then the jumps of the timing found and the tones after them moved
// (timing_jumps.h), all in the channel that gave the time base, whose
// resolution leaves `roundingVariance` per sample. Where the tones outvoted
// a first sync pulse they disagree with, and the first tones side with the
// pulse, the timing jumped early in the sweep: `sweep` is timed from the
// pulse again (its trigger and tone fits), and the jump is the first found.
RecordingTimeline findTimeline(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                               ClockCorrectedSweep& sweep, const std::vector<Sample>& timing,
                               double roundingVariance, bool searchJumps = true);

// The block of one tone on its timing with its whole fit, ready for the
// steadiness check; its samples are nullptr when the recording does not hold
// it. `fitted`, when given, is the fit of this very block, made already.
ToneBlock toneBlockAt(const NominalTone& tone, const BlockPlacement& place, const std::vector<Sample>& recording,
                      double rate, const HarmonicFit* fitted = nullptr);

// Whether the tone's fit was made of the block at `place`.
bool fittedAt(const ClockCorrectedTone& tone, const BlockPlacement& place);

// The clock-corrected sweep's fit of tone i where `place` is the block it
// fitted (no jump or drift moved it), else nullptr.
const HarmonicFit* sweepFitAt(const ClockCorrectedSweep& sweep, std::size_t i, const BlockPlacement& place);

}  // namespace auralyn::analysis
