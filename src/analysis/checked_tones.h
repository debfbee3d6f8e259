#pragma once

#include <optional>
#include <vector>

#include "analysis/sweep_analysis.h"
#include "analysis/tone_steadiness.h"
#include "analysis/tone_timeline.h"

namespace auralyn::analysis {

// Below this SNR (dB) the first-order interval of a tone no longer holds.
inline constexpr double kBelowNoiseSnrDb = 6.0;

// Takes each tone's steadiness check into its measurement: the flag (a broken
// steadiness first, then clipping, then a tone below its noise), and for a
// tone that is not steady the intervals widened by twice what its halves
// disagree by: the whole block's value lies between the halves', and the
// steady value the tone would have reached lies beyond the later half by no
// more than the two halves lie apart while the block settles. A tone that could
// not be placed after a jump is flagged `jump` and left unplaced.
void applyChecks(const std::vector<SteadinessCheck>& checks, const std::vector<ToneTiming>& timing,
                 std::vector<ToneMeasurement>& tones);

// Whether a steady tone's halves lie further apart than noise explains at
// 95 %: their squared distance over its noise (halvesStatistic) is
// chi-squared with 2 degrees of freedom for a steady tone, and beyond
// kNoiseHalvesStatistic in one in twenty.
bool halvesDisagree(double halvesStatistic);

// Adds the drifting clock's fitted line's uncertainty to every tone's phase
// interval (clock_drift.h: driftPhaseSd), in quadrature, at 95 %.
void addDriftUncertainty(const ClockModel& model, const std::vector<double>& blockOffsets, double rate,
                         std::vector<ToneMeasurement>& tones);

}  // namespace auralyn::analysis
