#pragma once

#include <cstdint>
#include <vector>

#include "analysis/sweep_analysis.h"
#include "analysis/tone_timeline.h"

#include "analysis/sample.h"

namespace auralyn::analysis {

// The recording as it would have been without its jumps: at each jump's
// sample, the samples it added (a player's underrun) taken out, or as many
// zeros as it lost (a recorder's dropped buffer) put in, so that every tone
// after it lies where the sweep's layout puts it again and one clock can be
// found from all of them. The tone at the jump keeps what was damaged. Where
// a size was only estimated, the end is padded with zeros to the recording's length.
std::vector<Sample> withoutJumps(const std::vector<Sample>& recording, const std::vector<TimingJump>& jumps);

// Carries what the measurement of the recording as recorded found onto that
// of the repaired one: the jumps (where they are in the recording as
// recorded), the tones that could not be placed, flagged `jump`, and the
// unsteady tone a jump lies in, flagged `gap`. The first tone of a jump that
// only the later tones placed (`beforeOtherTones`) is flagged `gap` and left
// unplaced: which side of the jump its block lies on is not known.
void carryJumps(const SweepAnalysis& recorded, SweepAnalysis& repaired);

// Whether tone i keeps a place once the recording is repaired: not where the
// measurement as recorded could not place it, nor past the end that
// measurement reached when it left any tone unplaced (the repaired recording
// holds such tones where an estimated size put them).
bool placedAfterRepair(const SweepAnalysis& recorded, std::size_t i);

}  // namespace auralyn::analysis
