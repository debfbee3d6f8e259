#include "audio/portaudio_api.h"

namespace auralyn::audio {

namespace {

constexpr const char* kPackageAdvice = "audio devices need PortAudio (libportaudio2): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, PortAudioApi& api) {
    AURALYN_PORTAUDIO_FUNCTIONS(AURALYN_LIBRARY_RESOLVE)
    return nullptr;
}

}  // namespace

PortAudioLoad loadPortAudio(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const PortAudioLoad& portAudio() { return platform::loadedOnce("libportaudio.so.2", kPackageAdvice, firstMissing); }

}  // namespace auralyn::audio
