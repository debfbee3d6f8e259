// Compiled with AVX2 enabled; called only on processors that report it.
#include <immintrin.h>
#include <sleef.h>

#include "measurer/sine_cosine_vector.h"

namespace auralyn::measurer {

void sineCosineAvx2(const double* angles, double* sines, double* cosines, std::size_t count) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const Sleef___m256d_2 both = Sleef_sincosd4_u35avx2(_mm256_loadu_pd(angles + i));
        _mm256_storeu_pd(sines + i, both.x);
        _mm256_storeu_pd(cosines + i, both.y);
    }
    if (i == count) return;
    double rest[4] = {0.0, 0.0, 0.0, 0.0};
    for (std::size_t j = i; j < count; ++j) rest[j - i] = angles[j];
    const Sleef___m256d_2 both = Sleef_sincosd4_u35avx2(_mm256_loadu_pd(rest));
    double restSines[4];
    double restCosines[4];
    _mm256_storeu_pd(restSines, both.x);
    _mm256_storeu_pd(restCosines, both.y);
    for (std::size_t j = i; j < count; ++j) {
        sines[j] = restSines[j - i];
        cosines[j] = restCosines[j - i];
    }
}

}  // namespace auralyn::measurer
