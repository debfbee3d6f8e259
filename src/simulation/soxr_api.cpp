#include "simulation/soxr_api.h"

namespace auralyn::simulation {

namespace {

constexpr const char* kPackageAdvice = "simulating a clock error needs libsoxr (libsoxr0): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, SoxrApi& api) {
    if (!library.resolve("soxr_io_spec", api.ioSpec)) return "soxr_io_spec";
    if (!library.resolve("soxr_quality_spec", api.qualitySpec)) return "soxr_quality_spec";
    if (!library.resolve("soxr_create", api.create)) return "soxr_create";
    if (!library.resolve("soxr_process", api.process)) return "soxr_process";
    if (!library.resolve("soxr_delete", api.destroy)) return "soxr_delete";
    return nullptr;
}

}  // namespace

SoxrLoad loadSoxr(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const SoxrLoad& soxrLibrary() {
    static const SoxrLoad load = loadSoxr("libsoxr.so.0");
    return load;
}

}  // namespace auralyn::simulation
