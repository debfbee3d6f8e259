#pragma once

#include <cstdint>
#include <vector>

#include "analysis/sample.h"
#include "analysis/sweep_analysis.h"
#include "analysis/tone_layout.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// echoprobe's walk places every tone at its nominal distance from the last
// sync pulse it found: it takes the recording's clock for the sweep's. Where
// the two differ, a tone's phase turns by 360 f dr t, t its block centre's
// distance from that pulse. The clock is measured here as the clock
// correction measures it (walkClock), and every tone's intervals are widened
// by the whole ratio found plus its interval (addTimeBase); where the tones
// agree on no ratio, by the largest ratio accepted. The walk's numbers stay
// as they are: this says only how far they may be off.
void addWalkTimeBase(const sweep::SweepPlan& plan, const std::vector<NominalTone>& nominal,
                     const std::vector<Sample>& recording, std::int64_t trigger, SweepAnalysis& analysis);

}  // namespace auralyn::analysis
