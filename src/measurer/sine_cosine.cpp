#include "measurer/sine_cosine.h"

#include <cmath>

#include "measurer/sine_cosine_vector.h"

namespace auralyn::measurer {

void sineCosinePlain(const double* angles, double* sines, double* cosines, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        sines[i] = std::sin(angles[i]);
        cosines[i] = std::cos(angles[i]);
    }
}

#if defined(AURALYN_HAVE_SLEEF)

namespace {

using BlockFunction = void (*)(const double*, double*, double*, std::size_t);

struct Choice {
    BlockFunction function;
    const char* name;
};

Choice chooseImplementation() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return {sineCosineAvx512, "sleef-avx512"};
    if (__builtin_cpu_supports("avx2")) return {sineCosineAvx2, "sleef-avx2"};
    return {sineCosineSse2, "sleef-sse2"};
}

const Choice& implementation() {
    static const Choice choice = chooseImplementation();
    return choice;
}

}  // namespace

void sineCosine(const double* angles, double* sines, double* cosines, std::size_t count) {
    implementation().function(angles, sines, cosines, count);
}

const char* sineCosineImplementation() { return implementation().name; }

#else

void sineCosine(const double* angles, double* sines, double* cosines, std::size_t count) {
    sineCosinePlain(angles, sines, cosines, count);
}

const char* sineCosineImplementation() { return "libm"; }

#endif

}  // namespace auralyn::measurer
