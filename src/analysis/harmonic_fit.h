#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "analysis/sample.h"

namespace auralyn::analysis {

inline constexpr int kMaxHarmonic = 10;

// One harmonic's share of the block: cosine * cos(k w t) + sine * sin(k w t).
struct HarmonicTerm {
    double cosine = 0.0;
    double sine = 0.0;
};

// One harmonic's 2x2 block of (X^T X)^-1 (cosine, sine order): the
// covariance of its two coefficients per unit noise variance.
struct TermCovariance {
    double cosine = 0.0;
    double sine = 0.0;
    double cross = 0.0;
};

// The joint least-squares fit of one block to DC, the fundamental and its
// harmonics 2..harmonics, with time t measured from the block start.
struct HarmonicFit {
    bool valid = false;           // false: the block could not be fitted (too short, frequency out of range)
    int harmonics = 0;            // highest harmonic in the fit (1 = the fundamental alone)
    std::size_t count = 0;        // samples fitted
    double dc = 0.0;
    std::array<HarmonicTerm, kMaxHarmonic + 1> terms{};  // index k; [0] is unused
    double sumSquares = 0.0;        // sum of the samples squared
    double residualSquares = 0.0;   // sum of the squared residual of the whole fit
    double remainderSquares = 0.0;  // sum of squares of what is left once DC and the fundamental are taken out
    // The fundamental's 2x2 block of (X^T X)^-1 (cosine, sine order): its
    // covariance per unit noise variance.
    double cosineVariance = 0.0;
    double sineVariance = 0.0;
    double cosineSineCovariance = 0.0;
    std::array<TermCovariance, kMaxHarmonic + 1> covariance{};  // index k; [1] repeats the three above

    int parameters() const { return 1 + 2 * harmonics; }
    double amplitude(int k) const;  // of harmonic k, sample units
    // Phase of the fundamental at the block start: the fit is A sin(w t + phase).
    double phase() const;
};

// Whether harmonic k is fitted for a block of `count` samples at this frequency:
// below half the sampling rate, and at least one cycle apart from its mirror
// image across it, so that its sine and cosine terms stay independent.
bool harmonicFits(int k, double cyclesPerSample, std::size_t count);

// Fits samples[n] at times t = firstSampleOffset + n (in samples, relative to
// the block start; a clock-corrected block start lies between samples) to
// DC + sum over k of (c_k cos(k w t) + s_k sin(k w t)), w = 2 pi cyclesPerSample,
// for every harmonic k <= 10 that fits.
//
// This is the linear least-squares sine fit of IEEE Std 1057 (three-parameter,
// known frequency) extended to the harmonics jointly: unlike a correlation at
// each k*f, it does not leak the fundamental into the harmonics when the block
// holds a fractional number of cycles. The data correlations come from one
// Goertzel recurrence per harmonic (a second-order Chebyshev recurrence) in one
// pass over the block, the Gram matrix from the closed-form sums of cosines of
// arithmetic progressions; the small system is solved by Cholesky.
// FundamentalOnly leaves the harmonics' covariances (HarmonicFit::covariance
// beyond [1]) at zero, for callers that only compare fundamentals: they cost
// two solves of the system each.
enum class FitCovariances { Every, FundamentalOnly };
HarmonicFit fitHarmonics(const Sample* samples, std::size_t count, double firstSampleOffset,
                         double cyclesPerSample, FitCovariances covariances = FitCovariances::Every);

// DC and the fundamental alone: the three-parameter sine fit of IEEE Std 1057
// at the known frequency, with the fundamental's covariance (harmonics = 1).
// Whatever harmonics the block holds stay in its residual, which therefore
// overstates the noise of a distorted tone: a cheap reading of a tone's phase
// where the full fit's figures are not reported (the clock's passes).
HarmonicFit fitFundamental(const Sample* samples, std::size_t count, double firstSampleOffset,
                           double cyclesPerSample);

// How many harmonics (from the fundamental up) fitHarmonics fits for such a block.
int fittedHarmonics(double cyclesPerSample, std::size_t count);

// The same fit from the block's sums (goertzel.h), taken over its sums.count
// samples for at least fittedHarmonics(cyclesPerSample, sums.count) harmonics:
// a block whose sums are had from its parts is fitted without another pass.
struct GoertzelSums;
HarmonicFit fitFromSums(const GoertzelSums& sums, double firstSampleOffset, double cyclesPerSample,
                        FitCovariances covariances = FitCovariances::Every);

}  // namespace auralyn::analysis
