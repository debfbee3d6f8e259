#pragma once

#include <array>

namespace auralyn::analysis {

// Largest system the fits solve: DC plus a sine and a cosine for each of ten harmonics.
inline constexpr int kMaxParameters = 21;

using SquareMatrix = std::array<std::array<double, kMaxParameters>, kMaxParameters>;
using Vector = std::array<double, kMaxParameters>;

// The Cholesky factor L (lower, G = L L^T) of the leading n x n block of a
// symmetric matrix, in place. False when a pivot falls below `relativeFloor`
// times its diagonal entry: the matrix is singular or too close to it to trust.
bool choleskyFactor(SquareMatrix& g, int n, double relativeFloor = 1e-10);

// Solves L L^T x = b for x, in place in b.
void choleskySolve(const SquareMatrix& l, int n, Vector& b);

// The same for a b whose entries before `first` are zero (a column of the
// inverse, for one parameter's variance): the forward pass starts there, since
// the terms it skips are all exact zeros. The result is choleskySolve's, bit
// for bit.
void choleskySolveFrom(const SquareMatrix& l, int n, int first, Vector& b);

// Only the entries from `first` on of that solution, for a caller that needs
// no more (the variances and covariance of one harmonic's pair): the backward
// pass stops there, since no later entry depends on an earlier one. Those
// entries are choleskySolve's bit for bit; the ones before stay zero.
void choleskySolveTail(const SquareMatrix& l, int n, int first, Vector& b);

}  // namespace auralyn::analysis
