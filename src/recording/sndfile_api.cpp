#include "recording/sndfile_api.h"

namespace auralyn::recording {

namespace {

constexpr const char* kPackageAdvice = "WAV files other than 16-bit PCM need libsndfile (libsndfile1): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, SndFileApi& api) {
    AURALYN_SNDFILE_FUNCTIONS(AURALYN_LIBRARY_RESOLVE)
    return nullptr;
}

}  // namespace

SndFileLoad loadSndFile(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const SndFileLoad& sndFile() { return platform::loadedOnce("libsndfile.so.1", kPackageAdvice, firstMissing); }

}  // namespace auralyn::recording
