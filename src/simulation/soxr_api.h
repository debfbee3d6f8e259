#pragma once

// libsoxr's functions, resolved from the shared library when the simulator
// first resamples for a clock error: the other commands start without loading
// it and the OpenMP runtime it brings along.
#include <soxr.h>

#include "platform/loaded_library.h"

namespace auralyn::simulation {

#define AURALYN_SOXR_FUNCTIONS(F) \
    F(ioSpec, soxr_io_spec) \
    F(qualitySpec, soxr_quality_spec) \
    F(create, soxr_create) \
    F(process, soxr_process) \
    F(destroy, soxr_delete)

struct SoxrApi {
    AURALYN_SOXR_FUNCTIONS(AURALYN_LIBRARY_MEMBER)
};

using SoxrLoad = platform::LoadedFunctions<SoxrApi>;

// Resolves the functions from the library of that file name; a missing library
// or function leaves a message that names the package to install.
SoxrLoad loadSoxr(const char* fileName);

// The process's libsoxr (libsoxr.so.0), loaded on the first call.
const SoxrLoad& soxrLibrary();

}  // namespace auralyn::simulation
