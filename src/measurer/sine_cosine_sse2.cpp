#include <emmintrin.h>
#include <sleef.h>

#include "measurer/sine_cosine_vector.h"

namespace auralyn::measurer {

void sineCosineSse2(const double* angles, double* sines, double* cosines, std::size_t count) {
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const Sleef___m128d_2 both = Sleef_sincosd2_u35sse2(_mm_loadu_pd(angles + i));
        _mm_storeu_pd(sines + i, both.x);
        _mm_storeu_pd(cosines + i, both.y);
    }
    if (i < count) {
        const Sleef___m128d_2 both = Sleef_sincosd2_u35sse2(_mm_set_pd(0.0, angles[i]));
        sines[i] = _mm_cvtsd_f64(both.x);
        cosines[i] = _mm_cvtsd_f64(both.y);
    }
}

}  // namespace auralyn::measurer
