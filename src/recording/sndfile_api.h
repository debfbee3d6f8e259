#pragma once

// libsndfile's functions, resolved from the shared library when a recording
// other than the kit's own 16-bit WAV is first read or written: the commands
// that never need it start without loading it and the codecs it brings along.
#include <sndfile.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::recording {

#define AURALYN_SNDFILE_FUNCTIONS(F) \
    F(open, sf_open) \
    F(close, sf_close) \
    F(strerror, sf_strerror) \
    F(command, sf_command) \
    F(readfDouble, sf_readf_double) \
    F(readfFloat, sf_readf_float) \
    F(writeInt, sf_write_int) \
    F(writeFloat, sf_write_float)

struct SndFileApi {
    AURALYN_SNDFILE_FUNCTIONS(AURALYN_LIBRARY_MEMBER)
};

using SndFileLoad = platform::LoadedFunctions<SndFileApi>;

// Resolves the functions from the library of that file name; a missing library
// or function leaves a message that names the package to install.
SndFileLoad loadSndFile(const char* fileName);

// The process's libsndfile (libsndfile.so.1), loaded on the first call.
const SndFileLoad& sndFile();

}  // namespace auralyn::recording
