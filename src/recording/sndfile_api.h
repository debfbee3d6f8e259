#pragma once

// libsndfile's functions, resolved from the shared library when a recording
// other than the kit's own 16-bit WAV is first read or written: the commands
// that never need it start without loading it and the codecs it brings along.
#include <sndfile.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::recording {

// The functions used, a line a role: the file, reading, writing.
#define AURALYN_SNDFILE_FUNCTIONS(F) \
    F(open, sf_open) F(close, sf_close) F(strerror, sf_strerror) F(command, sf_command) \
    F(readfDouble, sf_readf_double) F(readfFloat, sf_readf_float) \
    F(writeInt, sf_write_int) F(writeFloat, sf_write_float)

AURALYN_LOADED_LIBRARY(SndFileApi, AURALYN_SNDFILE_FUNCTIONS, "libsndfile.so.1",
                       "WAV files other than 16-bit PCM need libsndfile (libsndfile1): ");

// The process's libsndfile, loaded on the first call.
inline const platform::LoadedFunctions<SndFileApi>& sndFile() { return platform::loadedOnce<SndFileApi>(); }

}  // namespace auralyn::recording
