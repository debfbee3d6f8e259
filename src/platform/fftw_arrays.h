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

struct FftwFunctions {
    decltype(&fftw_malloc) malloc = nullptr;
    decltype(&fftw_free) free = nullptr;
    decltype(&fftw_alloc_real) allocReal = nullptr;
    decltype(&fftw_alloc_complex) allocComplex = nullptr;
    decltype(&fftw_plan_dft_r2c_1d) planDftR2c1d = nullptr;
    decltype(&fftw_plan_dft_c2r_1d) planDftC2r1d = nullptr;
    decltype(&fftw_execute) execute = nullptr;
    decltype(&fftw_destroy_plan) destroyPlan = nullptr;
};

struct FftwfFunctions {
    decltype(&fftwf_malloc) malloc = nullptr;
    decltype(&fftwf_free) free = nullptr;
    decltype(&fftwf_plan_dft_1d) planDft1d = nullptr;
    decltype(&fftwf_plan_dft_r2c_1d) planDftR2c1d = nullptr;
    decltype(&fftwf_execute) execute = nullptr;
    decltype(&fftwf_destroy_plan) destroyPlan = nullptr;
};

// The first function the library lacks, or null when it has them all.
inline const char* firstMissingFftw(const LoadedLibrary& library, FftwFunctions& f) {
    if (!library.resolve("fftw_malloc", f.malloc)) return "fftw_malloc";
    if (!library.resolve("fftw_free", f.free)) return "fftw_free";
    if (!library.resolve("fftw_alloc_real", f.allocReal)) return "fftw_alloc_real";
    if (!library.resolve("fftw_alloc_complex", f.allocComplex)) return "fftw_alloc_complex";
    if (!library.resolve("fftw_plan_dft_r2c_1d", f.planDftR2c1d)) return "fftw_plan_dft_r2c_1d";
    if (!library.resolve("fftw_plan_dft_c2r_1d", f.planDftC2r1d)) return "fftw_plan_dft_c2r_1d";
    if (!library.resolve("fftw_execute", f.execute)) return "fftw_execute";
    if (!library.resolve("fftw_destroy_plan", f.destroyPlan)) return "fftw_destroy_plan";
    return nullptr;
}

inline const char* firstMissingFftwf(const LoadedLibrary& library, FftwfFunctions& f) {
    if (!library.resolve("fftwf_malloc", f.malloc)) return "fftwf_malloc";
    if (!library.resolve("fftwf_free", f.free)) return "fftwf_free";
    if (!library.resolve("fftwf_plan_dft_1d", f.planDft1d)) return "fftwf_plan_dft_1d";
    if (!library.resolve("fftwf_plan_dft_r2c_1d", f.planDftR2c1d)) return "fftwf_plan_dft_r2c_1d";
    if (!library.resolve("fftwf_execute", f.execute)) return "fftwf_execute";
    if (!library.resolve("fftwf_destroy_plan", f.destroyPlan)) return "fftwf_destroy_plan";
    return nullptr;
}

inline LoadedFunctions<FftwFunctions> loadFftw(const char* fileName) {
    return loadFunctions(fileName, "transforms need FFTW (libfftw3-double3): ", firstMissingFftw);
}

inline LoadedFunctions<FftwfFunctions> loadFftwf(const char* fileName) {
    return loadFunctions(fileName, "transforms need FFTW (libfftw3-single3): ", firstMissingFftwf);
}

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
    static const LoadedFunctions<FftwFunctions> load = loadFftw("libfftw3.so.3");
    return loadedOrExit(load);
}

inline const FftwfFunctions& fftwf() {
    static const LoadedFunctions<FftwfFunctions> load = loadFftwf("libfftw3f.so.3");
    return loadedOrExit(load);
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
