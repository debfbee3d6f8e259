#pragma once

// libsndfile's functions, resolved from the shared library when a recording
// other than the kit's own 16-bit WAV is first read or written: the commands
// that never need it start without loading it and the codecs it brings along.
#include <sndfile.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::recording {

struct SndFileApi {
    decltype(&sf_open) open = nullptr;
    decltype(&sf_close) close = nullptr;
    decltype(&sf_strerror) strerror = nullptr;
    decltype(&sf_command) command = nullptr;
    decltype(&sf_readf_double) readfDouble = nullptr;
    decltype(&sf_readf_float) readfFloat = nullptr;
    decltype(&sf_write_int) writeInt = nullptr;
    decltype(&sf_write_float) writeFloat = nullptr;
};

using SndFileLoad = platform::LoadedFunctions<SndFileApi>;

// Resolves the functions from the library of that file name; a missing library
// or function leaves a message that names the package to install.
SndFileLoad loadSndFile(const char* fileName);

// The process's libsndfile (libsndfile.so.1), loaded on the first call.
const SndFileLoad& sndFile();

}  // namespace auralyn::recording
