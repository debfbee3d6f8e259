#pragma once

#include <cstdint>
#include <string>

namespace auralyn::recording {

enum class SampleEncoding { pcm8, pcm16, pcm24, pcm32, float32, float64 };

struct RecordingFormat {
    double sampleRate = 0.0;
    int channels = 0;
    std::int64_t frames = 0;
    SampleEncoding encoding = SampleEncoding::pcm16;
    bool extensible = false;  // WAVE_FORMAT_EXTENSIBLE header
};

// 8, 16, 24, 32 or 64.
int bitsOf(SampleEncoding encoding);
bool isFloat(SampleEncoding encoding);

// "24-bit PCM", "32-bit float".
std::string encodingName(SampleEncoding encoding);

// "24-bit PCM (extensible), 2 channels, 48000 Hz, 2.5 s": for messages and
// the JSON's account of what was read.
std::string describe(const RecordingFormat& format);

}  // namespace auralyn::recording
