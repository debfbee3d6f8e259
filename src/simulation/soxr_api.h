#pragma once

// libsoxr's functions, resolved from the shared library when the simulator
// first resamples for a clock error: the other commands start without loading
// it and the OpenMP runtime it brings along.
#include <soxr.h>

#include "platform/loaded_library.h"

namespace auralyn::simulation {

struct SoxrApi {
    decltype(&soxr_io_spec) ioSpec = nullptr;
    decltype(&soxr_quality_spec) qualitySpec = nullptr;
    decltype(&soxr_create) create = nullptr;
    decltype(&soxr_process) process = nullptr;
    decltype(&soxr_delete) destroy = nullptr;
};

using SoxrLoad = platform::LoadedFunctions<SoxrApi>;

// Resolves the functions from the library of that file name; a missing library
// or function leaves a message that names the package to install.
SoxrLoad loadSoxr(const char* fileName);

// The process's libsoxr (libsoxr.so.0), loaded on the first call.
const SoxrLoad& soxrLibrary();

}  // namespace auralyn::simulation
