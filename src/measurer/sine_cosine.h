#pragma once

#include <cstddef>

namespace auralyn::measurer {

// The largest block sineCosine handles in one call; callers walk longer runs in
// blocks of this size so that no buffer has to be allocated.
inline constexpr std::size_t kSineCosineBlock = 512;

// sines[i] = sin(angles[i]), cosines[i] = cos(angles[i]) for i < count, with
// count at most kSineCosineBlock. Vectorised where the build and the processor
// allow it (within a few units in the last place of the exact values); the
// plain library functions otherwise.
void sineCosine(const double* angles, double* sines, double* cosines, std::size_t count);

// The same through the plain library functions, whatever the build offers.
void sineCosinePlain(const double* angles, double* sines, double* cosines, std::size_t count);

// Name of the implementation sineCosine uses on this processor, for benchmarks.
const char* sineCosineImplementation();

}  // namespace auralyn::measurer
