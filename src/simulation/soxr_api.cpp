#include "simulation/soxr_api.h"

namespace auralyn::simulation {

namespace {

constexpr const char* kPackageAdvice = "simulating a clock error needs libsoxr (libsoxr0): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, SoxrApi& api) {
    AURALYN_SOXR_FUNCTIONS(AURALYN_LIBRARY_RESOLVE)
    return nullptr;
}

}  // namespace

SoxrLoad loadSoxr(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const SoxrLoad& soxrLibrary() { return platform::loadedOnce("libsoxr.so.0", kPackageAdvice, firstMissing); }

}  // namespace auralyn::simulation
