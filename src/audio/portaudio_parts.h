#pragma once

// PortAudio behind the session: the library's lifetime and finding a device by name.
#include "audio/portaudio_api.h"

#include <string>

#include "platform/non_copyable.h"

namespace auralyn::audio {

// Pa_Initialize for the lifetime of the object (PortAudio counts the calls).
class PortAudioLibrary : platform::NonCopyable {
public:
    PortAudioLibrary();
    ~PortAudioLibrary();
    bool ok() const { return error_ == paNoError; }
    std::string errorText() const;

private:
    PaError error_;
};

struct DeviceLookup {
    PaDeviceIndex index = paNoDevice;
    std::string error;  // why there is none
};

// An empty name is the system's default device of that direction; otherwise the
// device of that exact name, or else the only one whose name contains it
// (case-insensitive). Only devices with channels in that direction count.
DeviceLookup findDevice(const std::string& name, bool input);

std::string deviceName(PaDeviceIndex index);

}  // namespace auralyn::audio
