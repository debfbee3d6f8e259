#pragma once

#include <complex>
#include <cstddef>

namespace auralyn::clock {

// The sum over n < count of exp(i theta (t0 + n)) in closed form (the
// Dirichlet kernel): exp(i theta (t0 + (count - 1) / 2)) sin(count theta / 2)
// / sin(theta / 2). Least-squares sine fits take the sums of their own sines
// and cosines from it instead of a pass over the block.
std::complex<double> progressionSum(std::size_t count, double t0, double theta);

}  // namespace auralyn::clock
