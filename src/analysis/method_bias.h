#pragma once

#include <cstddef>

#include "analysis/sweep_analysis.h"
#include "analysis/tone_quality.h"

namespace auralyn::analysis {

// The largest error that rounding to 16 bits can leave in a fitted sine's
// coefficients, in steps: rounding errors of at most half a step, all lined up
// with the sine, project onto it as (2/N) sum 0.5 |cos| = 2/pi. No interval
// may be narrower than that: noise-free recordings otherwise claim a precision
// that the samples cannot hold.
inline constexpr double kRoundingBoundSteps = 0.6366197723675814;

// Holds a tone's intervals at least as wide as rounding may move it. The
// recording's rounding to its resolution `step` (1 for 16 bits, 1/256 for
// 24), where no noise of a step or more dithers it, may be lined up with the
// tone: at most kRoundingBoundSteps steps against the fitted amplitude. The sweep's own rounding (a sine of `playedAmplitude`)
// passes through the device with the tone; a tone whose period is not a whole
// number of samples rounds like white noise of a twelfth of a step squared,
// whose 95 % effect on a block of `blockLength` samples is the floor's second part.
// A floor, not a term: noise larger than the rounding shows in the residual.
void addRoundingFloor(ToneQuality& quality, double playedAmplitude, double blockLength, double step = 1.0);

// The sweep's own rounding to 16 bits, where a tone repeats itself after a
// few whole samples: the played samples of a tone of `playedCyclesPerSample`
// = p / q (in lowest terms) repeat every q samples, and so does their
// rounding error, which then projects onto the tone as white noise over q
// samples would, not over the block's `blockLength`: a variance of
// 2 / (12 q) steps squared on each of the fit's coefficients instead of
// 2 / (12 N). The same in every recording of that sweep, so no residual tells
// it from the tone: the excess over what the residual holds already is added
// to both half-widths in quadrature (GUM 5.1.2), relative to the sweep's
// `playedAmplitude`. A tone of no such period (q beyond the block) gets nothing.
void addPlayedRounding(ToneQuality& quality, double playedAmplitude, double playedCyclesPerSample,
                       double blockLength);

// The samples after which a tone of `cyclesPerSample` comes back to the same
// phase (q of p / q in lowest terms), or 0 where that takes more than `longest`.
std::size_t repeatingPeriod(double cyclesPerSample, std::size_t longest);

// Rounding that repeats with a tone every q samples projects onto each of its
// fit's coefficients as white rounding over one period would, 2 / (12 q)
// steps squared; a residual over the block's N samples holds 2 / (12 N) of
// it. The difference, 0 where the tone does not repeat within the block.
double repeatingRoundingVariance(double cyclesPerSample, double blockLength);

// Noise of this many steps (standard deviation) dithers rounding to a grid of
// that step, and a residual of that noise and the rounding's own twelfth of a
// step squared shows it.
inline constexpr double kDitheringNoiseSteps = 0.5;
bool dithered(double residualRms, double step);

// echoprobe's walk reads amplitude and phase with its own analyzer (a
// correlation corrected for a block of fractional cycles) from the block it
// synchronised to; the intervals come from the joint least-squares fit of the
// block at its nominal place. The difference of the two readings is the walk's
// own bias on this tone (leakage the correction leaves, a block placed by a
// later pulse), added to the half-widths.
void addWalkBias(ToneMeasurement& tone);

}  // namespace auralyn::analysis
