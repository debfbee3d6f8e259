#pragma once

#include "analysis/sweep_analysis.h"
#include "analysis/tone_quality.h"

namespace auralyn::analysis {

// The largest error that rounding to 16 bits can leave in a fitted sine's
// coefficients, in steps: rounding errors of at most half a step, all lined up
// with the sine, project onto it as (2/N) sum 0.5 |cos| = 2/pi. No interval
// may be narrower than that: noise-free recordings otherwise claim a precision
// that the samples cannot hold.
inline constexpr double kRoundingBoundSteps = 0.6366197723675814;

// Widens a tone's intervals by the rounding of the sweep as played (sine of
// `playedAmplitude`) and as recorded (the tone's fitted amplitude): each a
// bias of at most kRoundingBoundSteps against its amplitude, added to the
// half-widths as the bounds they are.
void addRoundingFloor(ToneQuality& quality, double playedAmplitude);

// echoprobe's walk reads amplitude and phase with its own analyzer (a
// correlation corrected for a block of fractional cycles) from the block it
// synchronised to; the intervals come from the joint least-squares fit of the
// block at its nominal place. The difference of the two readings is the walk's
// own bias on this tone (leakage the correction leaves, a block placed by a
// later pulse), added to the half-widths.
void addWalkBias(ToneMeasurement& tone);

}  // namespace auralyn::analysis
