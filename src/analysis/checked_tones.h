#pragma once

#include <optional>
#include <vector>

#include "analysis/sweep_analysis.h"
#include "analysis/tone_steadiness.h"
#include "analysis/tone_timeline.h"

namespace auralyn::analysis {

// A tone is told from its noise by its fitted amplitude against the noise
// floor (the RMS amplitude the same fit gives on noise alone). On noise alone
// the amplitude of a fit of unknown phase is Rayleigh distributed, and
// exceeds k times that RMS with probability exp(-k^2) (Kay, Fundamentals of
// Statistical Signal Processing II, 7.6: a sinusoid of unknown phase). A
// stop band holds tens of such tones per sweep: at an SNR of 6 dB one in a
// hundred passed for measured. The threshold keeps that to one tone in
// kNoiseToneFalseAlarm, and lies above the 6 dB below which the first-order
// interval of a tone no longer holds anyway.
inline constexpr double kNoiseToneFalseAlarm = 1e-5;
// 10 log10(ln(1 / kNoiseToneFalseAlarm)): 10.61 dB.
inline constexpr double kBelowNoiseSnrDb = 10.612;

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
