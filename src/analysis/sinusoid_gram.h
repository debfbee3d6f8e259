#pragma once

#include <cstddef>

#include "analysis/small_cholesky.h"

namespace auralyn::analysis {

// The Gram matrix X^T X of the columns 1, cos(k w t_n), sin(k w t_n) for
// k = 1..harmonics, in that order (cosine before sine), over the times
// t_n = t0 + n, n = 0..count-1. Built in closed form from the sums of
// cos and sin of arithmetic progressions (the Dirichlet kernel), so its cost
// does not grow with the block.
void sinusoidGram(std::size_t count, double t0, double w, int harmonics, SquareMatrix& gram);

}  // namespace auralyn::analysis
