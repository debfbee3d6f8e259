#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>

#include "analysis/sample.h"
#include "analysis/harmonic_fit.h"

namespace auralyn::analysis {

// The correlations of a block with exp(i k w n), n counted from its first
// sample, for harmonics k = 1.. (index k-1), with the block's exact integer sums.
struct GoertzelSums {
    std::array<std::complex<double>, kMaxHarmonic> correlations{};
    std::size_t count = 0;
    double sum = 0.0;
    double sumSquares = 0.0;
};

// One pass of the Goertzel recurrence s_n = y_n + 2 cos(k w) s_{n-1} - s_{n-2}
// (Goertzel 1958; a second-order Chebyshev recurrence), in Reinsch's stable
// form, for harmonics 1..harmonics of w (radians per sample).
GoertzelSums goertzelSums(const Sample* samples, std::size_t count, double w, int harmonics);

// A block's sums with those of its two halves (the first count / 2 samples
// and the rest, each from its own first sample), from one pass: the whole
// block's are exactly goertzelSums', the first half's read off the chains'
// states where it ends, the second's what the first leaves of the whole.
struct SplitSums {
    GoertzelSums whole;
    GoertzelSums first;
    GoertzelSums second;
};
SplitSums goertzelSplitSums(const Sample* samples, std::size_t count, double w, int harmonics);
// sum over n < count of values[n] exp(i theta n): the same recurrence over a
// sequence of doubles (the coefficients of a trigonometric polynomial).
std::complex<double> sequenceCorrelation(const double* values, std::size_t count, double theta);

// Several such sums at once, each chain with its own sequence and angle:
// out[c] = sum over n < counts[c] of values[c][n] exp(i thetas[c] n). The
// chains run side by side, so that the pipeline is not left waiting on one
// chain's recurrence; each gives exactly what sequenceCorrelation gives.
void sequenceCorrelations(const double* const* values, const std::size_t* counts, const double* thetas,
                          std::size_t chains, std::complex<double>* out);

// sum over n of y_n exp(i theta (t0 + n)) from a recurrence's final state:
// exp(i theta (t0 + N - 1)) (s_{N-1} - exp(i theta) s_{N-2}).
std::complex<double> toneCorrelation(double last, double previous, std::size_t count, double t0, double theta);

}  // namespace auralyn::analysis
