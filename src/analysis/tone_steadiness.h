#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/harmonic_fit.h"
#include "analysis/lead_in_noise.h"

#include "analysis/sample.h"

namespace auralyn::analysis {

// Why a tone cannot be taken at the precision of a steady one.
enum class ToneFlag {
    None,
    Unsettled,   // the block starts while the room still rings: its residual decays along it
    Gap,         // the block holds a run of one repeated sample (a dropout)
    Burst,       // its residual stands well above the noise of its neighbours
    Unsteady,    // its two halves disagree for no cause more specific
    Jump,        // it lies after a jump of the recording's timing and could not be placed again
    BelowNoise,  // its SNR is too low for the interval's first-order model
    Clipped,     // its block shows a flattened top at full scale
    Quantized,   // rounded to a coarse grid without dither: its error follows the tone (coarse_rounding.h)
};

// The word the tables write: empty for None, else "unsettled", "gap", ...
std::string flagName(ToneFlag flag);

// Whether a flag means the model of a steady sine failed (the interval of the
// whole block is then not what the data support).
bool breaksSteadiness(ToneFlag flag);

struct HalvesFit;

// One tone's block as the steadiness check needs it.
struct ToneBlock {
    const Sample* samples = nullptr;  // nullptr: the tone was not measured
    std::size_t count = 0;
    double firstTime = 0.0;       // of samples[0] after the block's start, in [0, 1)
    double cyclesPerSample = 0.0;
    HarmonicFit fit;              // of the whole block
    double leadInVariance = 0.0;  // the silence's noise variance at this tone's frequency (0: no silence)
    double clockU95Ppm = 0.0;     // what the clock ratio may still be wrong by
    // What rounding to the recording's resolution alone leaves per sample: no
    // noise below it is believed (1/12 for 16 bits, 1/12 / 256^2 for 24).
    double roundingVariance = kQuantizationVariance;
    const HalvesFit* halves = nullptr;  // its halves fitted already (taken only if they are this block's)
};

// What the fits of a block's two halves give, apart from the noise they are
// judged against: both fitted with the block's start as their time origin, so
// that a steady tone gives both the same fundamental; with the block's longest
// run of one value. Kept with the block they came from, so that a later check
// of the same block need not pass over its samples again.
struct HalvesFit {
    const Sample* samples = nullptr;
    std::size_t count = 0;
    double firstTime = 0.0;
    double cyclesPerSample = 0.0;
    bool valid = false;
    double cosineDifference = 0.0;  // first half's fundamental less the second's
    double sineDifference = 0.0;
    double cosineVariance = 0.0;    // of that difference per unit noise variance (the halves' sum)
    double sineVariance = 0.0;
    double cosineSineCovariance = 0.0;
    double quieterResidualVariance = 0.0;  // the smaller of the halves' residual variances
    double magnitudeSpreadDb = 0.0;
    double phaseSpreadDeg = 0.0;
    std::size_t longestRun = 0;  // of one repeated sample value in the block (longestRepeatedRun)
};

HalvesFit fitHalves(const ToneBlock& block);
// The same from the halves' fits made already (the first of count / 2
// samples, both with the block's start as their time origin).
HalvesFit halvesFrom(const ToneBlock& block, const HarmonicFit& first, const HarmonicFit& second);
// Whether the halves were fitted from this very block.
bool halvesOf(const HalvesFit& halves, const ToneBlock& block);

// What the check found for one tone.
struct SteadinessCheck {
    bool steady = true;
    ToneFlag flag = ToneFlag::None;
    double halvesStatistic = 0.0;    // squared distance of the halves' fundamentals over their noise
    double magnitudeSpreadDb = 0.0;  // the halves' levels apart
    double phaseSpreadDeg = 0.0;     // their phases apart
    double residualRatio = 1.0;      // the residual's variance over that of its neighbours
};

// The halves' squared Mahalanobis distance beyond which a tone is not steady:
// chi-squared with 2 degrees of freedom exceeds it once in 100 000 steady tones.
inline constexpr double kHalvesLimit = 23.0;
// The 95 % point of chi-squared with 2 degrees of freedom (-2 ln 0.05): noise
// alone keeps the halves' statistic of a steady tone below it 19 times in 20.
inline constexpr double kNoiseHalvesStatistic = 5.991464547107979;
// A residual this many times its neighbours' (6 dB) is a burst.
inline constexpr double kBurstRatio = 4.0;

// Checks every tone's block: the fundamentals of its two halves, fitted with
// the same time origin, must agree within their noise (a gain step, a dropout,
// a room still ringing or a tone cut short move one half), and the residual of
// the whole fit must be noise of the level its neighbours show (the median of
// up to three tones on each side, robust to a burst in any one of them).
std::vector<SteadinessCheck> checkSteadiness(const std::vector<ToneBlock>& blocks);

// The check of one block on its own, without neighbours: its halves and gaps.
SteadinessCheck checkBlock(const ToneBlock& block);

// The longest run of one repeated sample value in the block.
std::size_t longestRepeatedRun(const Sample* samples, std::size_t count);

// The longest run of one repeated value a sine of this amplitude (sample
// units) rounded to integers shows at its crests.
double naturalRepeatedRun(double amplitude, double cyclesPerSample);

}  // namespace auralyn::analysis
