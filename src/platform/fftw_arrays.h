#pragma once

// Arrays in FFTW's own memory (aligned as its SIMD transforms want it), for the
// libraries that link FFTW: FftwArray in double precision (libfftw3),
// FftwfArray in single (libfftw3f). A file links only the precision it uses.
#include <fftw3.h>

#include <cstddef>
#include <memory>

namespace auralyn::platform {

// Gives the memory back to the allocator of the array's precision.
template <void (*Free)(void*)>
struct FftwFree {
    void operator()(void* p) const { Free(p); }
};

template <typename T>
using FftwArray = std::unique_ptr<T[], FftwFree<fftw_free>>;
template <typename T>
using FftwfArray = std::unique_ptr<T[], FftwFree<fftwf_free>>;

template <typename T>
FftwArray<T> fftwArray(std::size_t count) {
    return FftwArray<T>(static_cast<T*>(fftw_malloc(sizeof(T) * count)));
}

template <typename T>
FftwfArray<T> fftwfArray(std::size_t count) {
    return FftwfArray<T>(static_cast<T*>(fftwf_malloc(sizeof(T) * count)));
}

}  // namespace auralyn::platform
