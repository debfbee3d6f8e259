#include "analysis/origin_grid.h"

#include <cstring>

namespace auralyn::analysis {
namespace {

// Four lags side by side (GCC and Clang vector extension): one AVX
// instruction, or two SSE2 ones where AVX is not enabled. Aligned to 16
// bytes only, which every x86-64 stack keeps (64-bit Windows does not keep
// 32 for AVX's spills).
using Lanes = double __attribute__((vector_size(32), aligned(16)));

// Every function below is inlined into the kernel that calls it, so that
// each kernel is compiled whole for its own instruction set (and no vector
// crosses a call, whose convention would differ between the two).

// G tones side by side: their recurrences are independent chains, so they
// overlap in the pipeline where one alone would wait on its last product.
// The complex product is written out, as the library's checks each result
// for NaN, which a phasor never is.
template <std::size_t G>
inline __attribute__((always_inline)) void addTones(const GridTone* tones, std::size_t chunks, double* zRe, double* zIm) {
    Lanes re[G], im[G];
    double turnRe[G], turnIm[G];
    for (std::size_t k = 0; k < G; ++k) {
        std::memcpy(&re[k], tones[k].re, sizeof(Lanes));
        std::memcpy(&im[k], tones[k].im, sizeof(Lanes));
        turnRe[k] = tones[k].turnRe;
        turnIm[k] = tones[k].turnIm;
    }
    for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
        double* const atRe = zRe + chunk * kGridLanes;
        double* const atIm = zIm + chunk * kGridLanes;
        Lanes sumRe, sumIm;
        std::memcpy(&sumRe, atRe, sizeof(Lanes));
        std::memcpy(&sumIm, atIm, sizeof(Lanes));
        for (std::size_t k = 0; k < G; ++k) {
            sumRe += re[k];
            sumIm += im[k];
            const Lanes nextRe = re[k] * turnRe[k] - im[k] * turnIm[k];
            const Lanes nextIm = re[k] * turnIm[k] + im[k] * turnRe[k];
            re[k] = nextRe;
            im[k] = nextIm;
        }
        std::memcpy(atRe, &sumRe, sizeof(Lanes));
        std::memcpy(atIm, &sumIm, sizeof(Lanes));
    }
}

template <std::size_t G>
inline __attribute__((always_inline)) void addAllTones(const GridTone* tones, std::size_t count, std::size_t chunks, double* re,
                                     double* im) {
    std::size_t next = 0;
    for (; next + G <= count; next += G) addTones<G>(tones + next, chunks, re, im);
    for (; next < count; ++next) addTones<1>(tones + next, chunks, re, im);
}

// SSE2 has 16 registers of two lanes: two tones at once keep their chains
// in them; AVX's 16 registers of four hold three.
void sumPlain(const GridTone* tones, std::size_t count, std::size_t chunks, double* re, double* im) {
    addAllTones<2>(tones, count, chunks, re, im);
}

#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx2"))) void sumAvx2(const GridTone* tones, std::size_t count, std::size_t chunks, double* re,
                                             double* im) {
    addAllTones<3>(tones, count, chunks, re, im);
}

using GridSum = void (*)(const GridTone*, std::size_t, std::size_t, double*, double*);

GridSum chooseGridSum() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? sumAvx2 : sumPlain;
}
#endif

}  // namespace

void sumGridTones(const GridTone* tones, std::size_t count, std::size_t chunks, double* re, double* im) {
#if defined(__x86_64__) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
    static const GridSum sum = chooseGridSum();
    sum(tones, count, chunks, re, im);
#else
    sumPlain(tones, count, chunks, re, im);
#endif
}

}  // namespace auralyn::analysis
