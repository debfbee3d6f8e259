#pragma once

// PortAudio's functions, resolved from the shared library when the sound
// devices are first needed: only `measure`, `devices` and the calibration
// commands that play or record pay for loading it (and ALSA and JACK with it).
#include <portaudio.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::audio {

#define AURALYN_PORTAUDIO_FUNCTIONS(F) \
    F(initialize, Pa_Initialize) \
    F(terminate, Pa_Terminate) \
    F(getErrorText, Pa_GetErrorText) \
    F(getLastHostErrorInfo, Pa_GetLastHostErrorInfo) \
    F(getDeviceCount, Pa_GetDeviceCount) \
    F(getDeviceInfo, Pa_GetDeviceInfo) \
    F(getDefaultInputDevice, Pa_GetDefaultInputDevice) \
    F(getDefaultOutputDevice, Pa_GetDefaultOutputDevice) \
    F(getHostApiInfo, Pa_GetHostApiInfo) \
    F(isFormatSupported, Pa_IsFormatSupported) \
    F(openStream, Pa_OpenStream) \
    F(startStream, Pa_StartStream) \
    F(isStreamActive, Pa_IsStreamActive) \
    F(getStreamInfo, Pa_GetStreamInfo) \
    F(abortStream, Pa_AbortStream) \
    F(closeStream, Pa_CloseStream)

struct PortAudioApi {
    AURALYN_PORTAUDIO_FUNCTIONS(AURALYN_LIBRARY_MEMBER)
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
