#pragma once

#include <cstdint>

#include "clock/sine_fit.h"

namespace auralyn::clock {

// The frequency of a steady tone in one block, near an expected frequency.
struct FrequencyEstimate {
    bool valid = false;          // a clear tone was found near the expected frequency
    double frequency = 0.0;      // Hz
    double standardError = 0.0;  // Hz, from the residual of the fits
    double amplitude = 0.0;      // sample units
    double signalToNoise = 0.0;  // tone power over residual power (linear)
    // The larger half's residual per sample over the smaller's (1 where both
    // are at the rounding's floor): near 1 where the block holds one steady
    // tone in steady noise.
    double halvesResidualRatio = 1.0;
};

// A tone counts only when its power stands this far above the residual (10 dB):
// silence, noise and tones of another frequency fall below it.
inline constexpr double kMinSignalToNoise = 10.0;

// Estimates the frequency of the tone in `count` samples expected near
// `expectedFrequency` Hz.
//
// Method: the three-parameter fit of IEEE Std 1057 at the expected frequency
// on each half of the block, both with their time origin at the block's start;
// a frequency offset turns the phase of the second half against the first by
// 2 pi df times the distance of the halves' centres, which gives df. The fit is
// repeated at the corrected frequency until the correction is negligible. This
// stands in for the four-parameter fit of the same standard: it needs no
// derivative terms, captures offsets up to half a cycle per half-block instead
// of a fraction of one, and its standard error follows from the residual in
// closed form (about 1.6 times the Cramer-Rao bound, a price paid for the wide
// capture on tones whose nominal frequency may be 1000 ppm off).
FrequencyEstimate estimateFrequency(const std::int16_t* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate);
// The same over samples in 16-bit units with a fraction (24-bit, float recordings).
FrequencyEstimate estimateFrequency(const float* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate);

// A block's sums at one angular frequency near the expected one, over each
// half (its first count / 2 samples, then the rest), both with the time origin
// at the block's first sample: the first of the fits above, gathered by a
// caller that passes over the samples anyway.
struct HalvesSums {
    double omega = 0.0;  // radians per sample
    BlockSums first, second;
};

// The same estimate with its first fits taken from `atStart`; the samples are
// read again only when the frequency needs correcting.
FrequencyEstimate estimateFrequency(const std::int16_t* samples, std::int32_t count, double expectedFrequency,
                                    double sampleRate, const HalvesSums& atStart);

}  // namespace auralyn::clock
