#pragma once

#include <string>

namespace auralyn::cli {

// A steady tone on an output, for reading its voltage with a meter.
struct TonePlayback {
    std::string outputDevice;  // empty: the system's default
    std::string inputDevice;   // opened alongside; its recording is unused
    int sampleRate = 48000;
    double frequencyHz = 1000.0;
    double levelDbfs = -6.0;
    double maxSeconds = 120.0;
};

// Plays the tone until Enter (or maxSeconds); false, with the reason printed,
// when the devices fail or the build has none.
bool playToneUntilEnter(const TonePlayback& playback);

}  // namespace auralyn::cli
