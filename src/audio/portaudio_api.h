#pragma once

// PortAudio's functions, resolved from the shared library when the sound
// devices are first needed: only `measure`, `devices` and the calibration
// commands that play or record pay for loading it (and ALSA and JACK with it).
#include <portaudio.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::audio {

struct PortAudioApi {
    decltype(&Pa_Initialize) initialize = nullptr;
    decltype(&Pa_Terminate) terminate = nullptr;
    decltype(&Pa_GetErrorText) getErrorText = nullptr;
    decltype(&Pa_GetLastHostErrorInfo) getLastHostErrorInfo = nullptr;
    decltype(&Pa_GetDeviceCount) getDeviceCount = nullptr;
    decltype(&Pa_GetDeviceInfo) getDeviceInfo = nullptr;
    decltype(&Pa_GetDefaultInputDevice) getDefaultInputDevice = nullptr;
    decltype(&Pa_GetDefaultOutputDevice) getDefaultOutputDevice = nullptr;
    decltype(&Pa_GetHostApiInfo) getHostApiInfo = nullptr;
    decltype(&Pa_IsFormatSupported) isFormatSupported = nullptr;
    decltype(&Pa_OpenStream) openStream = nullptr;
    decltype(&Pa_StartStream) startStream = nullptr;
    decltype(&Pa_IsStreamActive) isStreamActive = nullptr;
    decltype(&Pa_GetStreamInfo) getStreamInfo = nullptr;
    decltype(&Pa_AbortStream) abortStream = nullptr;
    decltype(&Pa_CloseStream) closeStream = nullptr;
};

using PortAudioLoad = platform::LoadedFunctions<PortAudioApi>;

// Resolves the functions from the library of that file name; a missing library
// or function leaves a message that names the package to install.
PortAudioLoad loadPortAudio(const char* fileName);

// The process's PortAudio (libportaudio.so.2), loaded on the first call.
const PortAudioLoad& portAudio();

// The functions of the loaded library; only for code that runs once a
// PortAudioLibrary (portaudio_parts.h) has started, which implies it loaded.
inline const PortAudioApi& pa() { return portAudio().api; }

}  // namespace auralyn::audio
