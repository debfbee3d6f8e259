#include "recording/recording_format.h"

#include <cstdio>

namespace auralyn::recording {

int bitsOf(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::pcm8: return 8;
        case SampleEncoding::pcm16: return 16;
        case SampleEncoding::pcm24: return 24;
        case SampleEncoding::pcm32: return 32;
        case SampleEncoding::float32: return 32;
        case SampleEncoding::float64: return 64;
    }
    return 0;
}

bool isFloat(SampleEncoding encoding) {
    return encoding == SampleEncoding::float32 || encoding == SampleEncoding::float64;
}

std::string encodingName(SampleEncoding encoding) {
    return std::to_string(bitsOf(encoding)) + (isFloat(encoding) ? "-bit float" : "-bit PCM");
}

std::string describe(const RecordingFormat& format) {
    char text[160];
    std::snprintf(text, sizeof text, "%s%s, %d channel%s, %.10g Hz, %.6g s", encodingName(format.encoding).c_str(),
                  format.extensible ? " (extensible)" : "", format.channels, format.channels == 1 ? "" : "s",
                  format.sampleRate,
                  format.sampleRate > 0.0 ? static_cast<double>(format.frames) / format.sampleRate : 0.0);
    return text;
}

}  // namespace auralyn::recording
