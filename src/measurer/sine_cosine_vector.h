#pragma once

#include <cstddef>

namespace auralyn::measurer {

// Vectorised blocks of sineCosine; each needs the instruction set in its name,
// so sineCosine picks one only after asking the processor.
void sineCosineSse2(const double* angles, double* sines, double* cosines, std::size_t count);
void sineCosineAvx2(const double* angles, double* sines, double* cosines, std::size_t count);
void sineCosineAvx512(const double* angles, double* sines, double* cosines, std::size_t count);

}  // namespace auralyn::measurer
