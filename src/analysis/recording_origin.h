#pragma once

#include <optional>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/recording_analysis.h"
#include "analysis/sweep_origin.h"
#include "analysis/time_base_budget.h"
#include "analysis/tone_layout.h"

namespace auralyn::analysis {

// Refers every phase of `result` to the sweep's start as the timing channel's
// tones put it, sets the recording's delay and what gave its time base, and
// widens each tone's intervals by the time base's uncertainty.
void referToOrigin(const ClockCorrectedSweep& sweep, const std::vector<std::optional<StartPhase>>& starts,
                   const std::vector<BlockPlacement>& places, TimeBaseUncertainty timeBase, bool referenced,
                   double rate, RecordingAnalysis& result);

}  // namespace auralyn::analysis
