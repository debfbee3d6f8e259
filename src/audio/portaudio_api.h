#pragma once

// PortAudio's functions, resolved from the shared library when the sound
// devices are first needed: only `measure`, `devices` and the calibration
// commands that play or record pay for loading it (and ALSA and JACK with it).
#include <portaudio.h>

#include <string>

#include "platform/loaded_library.h"

namespace auralyn::audio {

// The functions used, a line a role: the library, its errors, the devices,
// the streams.
#define AURALYN_PORTAUDIO_FUNCTIONS(F) \
    F(initialize, Pa_Initialize) F(terminate, Pa_Terminate) \
    F(getErrorText, Pa_GetErrorText) F(getLastHostErrorInfo, Pa_GetLastHostErrorInfo) \
    F(getDeviceCount, Pa_GetDeviceCount) F(getDeviceInfo, Pa_GetDeviceInfo) F(getHostApiInfo, Pa_GetHostApiInfo) \
    F(getDefaultInputDevice, Pa_GetDefaultInputDevice) F(getDefaultOutputDevice, Pa_GetDefaultOutputDevice) \
    F(isFormatSupported, Pa_IsFormatSupported) F(openStream, Pa_OpenStream) F(startStream, Pa_StartStream) \
    F(isStreamActive, Pa_IsStreamActive) F(getStreamInfo, Pa_GetStreamInfo) \
    F(abortStream, Pa_AbortStream) F(closeStream, Pa_CloseStream)

AURALYN_LOADED_LIBRARY(PortAudioApi, AURALYN_PORTAUDIO_FUNCTIONS, "libportaudio.so.2",
                       "audio devices need PortAudio (libportaudio2): ");

// The process's PortAudio, loaded on the first call.
inline const platform::LoadedFunctions<PortAudioApi>& portAudio() { return platform::loadedOnce<PortAudioApi>(); }

// The functions of the loaded library; only for code that runs once a
// PortAudioLibrary (portaudio_parts.h) has started, which implies it loaded.
inline const PortAudioApi& pa() { return portAudio().api; }

}  // namespace auralyn::audio
