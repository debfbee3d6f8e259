#pragma once

// FFTW for the libraries that use it, opened when a transform is first needed
// (most runs of auralyn, `analyze` of a sweep found by its sync pulse among
// them, do none, and loading FFTW at start costs every run milliseconds):
// its functions in double precision (libfftw3) and single (libfftw3f), and
// arrays in FFTW's own memory, aligned as its SIMD transforms want it.
// POSIX only, like the loader; the Windows build has no FFTW.
#include <fftw3.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/loaded_library.h"

namespace auralyn::platform {

// The functions used, a line a role: memory, plans, their use.
#define AURALYN_FFTW_FUNCTIONS(F) \
    F(malloc, fftw_malloc) F(free, fftw_free) \
    F(planDftR2c1d, fftw_plan_dft_r2c_1d) F(planDftC2r1d, fftw_plan_dft_c2r_1d) \
    F(execute, fftw_execute) F(destroyPlan, fftw_destroy_plan)

AURALYN_LOADED_LIBRARY(FftwFunctions, AURALYN_FFTW_FUNCTIONS, "libfftw3.so.3",
                       "transforms need FFTW (libfftw3-double3): ");

// In single precision, what the correlator uses.
#define AURALYN_FFTWF_FUNCTIONS(F) \
    F(malloc, fftwf_malloc) F(free, fftwf_free) F(planDft1d, fftwf_plan_dft_1d) \
    F(planDftR2c1d, fftwf_plan_dft_r2c_1d) F(execute, fftwf_execute) F(destroyPlan, fftwf_destroy_plan)

AURALYN_LOADED_LIBRARY(FftwfFunctions, AURALYN_FFTWF_FUNCTIONS, "libfftw3f.so.3",
                       "transforms need FFTW (libfftw3-single3): ");

// The transforms are parts of computations that have no way to go on without
// them: a missing FFTW ends the program with the loader's reason, as it would
// have at start had the program been linked to it. Only auralyn's libraries
// make transforms, so the message carries its name as its others do.
template <typename Functions>
const Functions& loadedOrExit(const LoadedFunctions<Functions>& load) {
    if (!load.ok()) {
        std::fprintf(stderr, "auralyn: %s\n", load.error.c_str());
        std::exit(EXIT_FAILURE);
    }
    return load.api;
}

// The process's FFTW of each precision, loaded on the first call.
inline const FftwFunctions& fftw() {
    return loadedOrExit(loadedOnce<FftwFunctions>());
}

inline const FftwfFunctions& fftwf() {
    return loadedOrExit(loadedOnce<FftwfFunctions>());
}

struct FftwFree {
    void operator()(void* p) const { fftw().free(p); }
};
struct FftwfFree {
    void operator()(void* p) const { fftwf().free(p); }
};

template <typename T>
using FftwArray = std::unique_ptr<T[], FftwFree>;
template <typename T>
using FftwfArray = std::unique_ptr<T[], FftwfFree>;

template <typename T>
FftwArray<T> fftwArray(std::size_t count) {
    return FftwArray<T>(static_cast<T*>(fftw().malloc(sizeof(T) * count)));
}

template <typename T>
FftwfArray<T> fftwfArray(std::size_t count) {
    return FftwfArray<T>(static_cast<T*>(fftwf().malloc(sizeof(T) * count)));
}

}  // namespace auralyn::platform
