#include "recording/sndfile_api.h"

namespace auralyn::recording {

namespace {

constexpr const char* kPackageAdvice = "WAV files other than 16-bit PCM need libsndfile (libsndfile1): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, SndFileApi& api) {
    if (!library.resolve("sf_open", api.open)) return "sf_open";
    if (!library.resolve("sf_close", api.close)) return "sf_close";
    if (!library.resolve("sf_strerror", api.strerror)) return "sf_strerror";
    if (!library.resolve("sf_command", api.command)) return "sf_command";
    if (!library.resolve("sf_readf_double", api.readfDouble)) return "sf_readf_double";
    if (!library.resolve("sf_readf_float", api.readfFloat)) return "sf_readf_float";
    if (!library.resolve("sf_write_int", api.writeInt)) return "sf_write_int";
    if (!library.resolve("sf_write_float", api.writeFloat)) return "sf_write_float";
    return nullptr;
}

}  // namespace

SndFileLoad loadSndFile(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const SndFileLoad& sndFile() {
    static const SndFileLoad load = loadSndFile("libsndfile.so.1");
    return load;
}

}  // namespace auralyn::recording
