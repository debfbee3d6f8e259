// Compiled with AVX-512 enabled; called only on processors that report it.
#include <immintrin.h>
#include <sleef.h>

#include "measurer/sine_cosine_vector.h"

namespace auralyn::measurer {

void sineCosineAvx512(const double* angles, double* sines, double* cosines, std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const Sleef___m512d_2 both = Sleef_sincosd8_u35avx512f(_mm512_loadu_pd(angles + i));
        _mm512_storeu_pd(sines + i, both.x);
        _mm512_storeu_pd(cosines + i, both.y);
    }
    if (i == count) return;
    double rest[8] = {};
    for (std::size_t j = i; j < count; ++j) rest[j - i] = angles[j];
    const Sleef___m512d_2 both = Sleef_sincosd8_u35avx512f(_mm512_loadu_pd(rest));
    double restSines[8];
    double restCosines[8];
    _mm512_storeu_pd(restSines, both.x);
    _mm512_storeu_pd(restCosines, both.y);
    for (std::size_t j = i; j < count; ++j) {
        sines[j] = restSines[j - i];
        cosines[j] = restCosines[j - i];
    }
}

}  // namespace auralyn::measurer
