#pragma once

// libsoxr's functions, resolved from the shared library when the simulator
// first resamples for a clock error: the other commands start without loading
// it and the OpenMP runtime it brings along.
#include <soxr.h>

#include "platform/loaded_library.h"

namespace auralyn::simulation {

// The functions used, a line a role: the specifications, the resampler.
#define AURALYN_SOXR_FUNCTIONS(F) \
    F(ioSpec, soxr_io_spec) F(qualitySpec, soxr_quality_spec) \
    F(create, soxr_create) F(process, soxr_process) F(destroy, soxr_delete)

AURALYN_LOADED_LIBRARY(SoxrApi, AURALYN_SOXR_FUNCTIONS, "libsoxr.so.0",
                       "simulating a clock error needs libsoxr (libsoxr0): ");

// The process's libsoxr, loaded on the first call.
inline const platform::LoadedFunctions<SoxrApi>& soxrLibrary() { return platform::loadedOnce<SoxrApi>(); }

}  // namespace auralyn::simulation
