#pragma once

#include <complex>
#include <cstdint>

namespace auralyn::clock {

// The least-squares fit of y(t) = B sin(w t) + A cos(w t) + C to a block of
// samples at known angular frequency w (radians per sample), with sample k of
// the block at time t = k + firstTime. `firstTime` is usually the distance of
// the first whole sample from a fractional block start, so that the phase is
// the phase at that start.
struct SineFit {
    double sineCoefficient = 0.0;    // B
    double cosineCoefficient = 0.0;  // A
    double offset = 0.0;             // C
    double residualSquares = 0.0;    // sum of squared residuals
    std::int32_t count = 0;
    bool solved = false;             // false: too few samples or a singular system

    double amplitude() const;        // sqrt(A^2 + B^2), sample units
    // Phase of amplitude * sin(w t + phase) at t = 0: atan2(A, B), 0 for no signal.
    double phase() const;
};

// IEEE Std 1057 three-parameter sine fit (known frequency). The data's
// correlations with the sine and cosine come from Goertzel recurrences in
// Reinsch's stable form (two multiplications a sample), the sums of the sines
// and cosines themselves in closed form (the Dirichlet kernel), so a fit costs
// little more than one pass over the samples.
SineFit fitSine(const std::int16_t* samples, std::int32_t count, double firstTime, double omega);
// The same over samples in 16-bit units with a fraction (24-bit, float recordings).
SineFit fitSine(const float* samples, std::int32_t count, double firstTime, double omega);

// What the fit needs of a block's samples y_k: their sum, the sum of their
// squares and their correlation, the sum of y_k exp(i omega (k + firstTime)).
struct BlockSums {
    double sampleSum = 0.0;
    double squareSum = 0.0;
    std::complex<double> correlation;
};

// The same fit from sums a caller gathered in a pass of its own.
SineFit fitSine(const BlockSums& sums, std::int32_t count, double firstTime, double omega);

}  // namespace auralyn::clock
