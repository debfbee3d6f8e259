#include "audio/portaudio_api.h"

namespace auralyn::audio {

namespace {

constexpr const char* kPackageAdvice = "audio devices need PortAudio (libportaudio2): ";

// The first function the library lacks, or null when it has them all.
const char* firstMissing(const platform::LoadedLibrary& library, PortAudioApi& api) {
    if (!library.resolve("Pa_Initialize", api.initialize)) return "Pa_Initialize";
    if (!library.resolve("Pa_Terminate", api.terminate)) return "Pa_Terminate";
    if (!library.resolve("Pa_GetErrorText", api.getErrorText)) return "Pa_GetErrorText";
    if (!library.resolve("Pa_GetLastHostErrorInfo", api.getLastHostErrorInfo)) return "Pa_GetLastHostErrorInfo";
    if (!library.resolve("Pa_GetDeviceCount", api.getDeviceCount)) return "Pa_GetDeviceCount";
    if (!library.resolve("Pa_GetDeviceInfo", api.getDeviceInfo)) return "Pa_GetDeviceInfo";
    if (!library.resolve("Pa_GetDefaultInputDevice", api.getDefaultInputDevice)) return "Pa_GetDefaultInputDevice";
    if (!library.resolve("Pa_GetDefaultOutputDevice", api.getDefaultOutputDevice)) return "Pa_GetDefaultOutputDevice";
    if (!library.resolve("Pa_GetHostApiInfo", api.getHostApiInfo)) return "Pa_GetHostApiInfo";
    if (!library.resolve("Pa_IsFormatSupported", api.isFormatSupported)) return "Pa_IsFormatSupported";
    if (!library.resolve("Pa_OpenStream", api.openStream)) return "Pa_OpenStream";
    if (!library.resolve("Pa_StartStream", api.startStream)) return "Pa_StartStream";
    if (!library.resolve("Pa_IsStreamActive", api.isStreamActive)) return "Pa_IsStreamActive";
    if (!library.resolve("Pa_GetStreamInfo", api.getStreamInfo)) return "Pa_GetStreamInfo";
    if (!library.resolve("Pa_AbortStream", api.abortStream)) return "Pa_AbortStream";
    if (!library.resolve("Pa_CloseStream", api.closeStream)) return "Pa_CloseStream";
    return nullptr;
}

}  // namespace

PortAudioLoad loadPortAudio(const char* fileName) { return platform::loadFunctions(fileName, kPackageAdvice, firstMissing); }

const PortAudioLoad& portAudio() {
    static const PortAudioLoad load = loadPortAudio("libportaudio.so.2");
    return load;
}

}  // namespace auralyn::audio
