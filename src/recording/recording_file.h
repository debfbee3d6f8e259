#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "recording/recording_format.h"

namespace auralyn::recording {

// A recording's samples, one vector per channel, normalised to full scale:
// an integer code c of n bits reads c / 2^(n-1) (so -1.0 .. 1 - 2^(1-n)),
// float samples read as stored.
template <typename Sample>
struct Recording {
    RecordingFormat format;
    std::vector<std::vector<Sample>> channels;
};

class RecordingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Longest recording read: 2^27 samples over all channels (about 23 minutes of
// stereo at 48 kHz), so that a header claiming more cannot exhaust memory.
inline constexpr std::int64_t kMaxSamples = std::int64_t{1} << 27;

// The format of a WAV file (RIFF or RF64, plain or WAVE_FORMAT_EXTENSIBLE) of
// 8, 16, 24 or 32-bit integer or 32/64-bit float samples; anything else, or a
// broken file, throws with a message that names the file.
RecordingFormat probeRecording(const std::string& path);

// The whole recording. Throws as probeRecording does, and for a file whose
// samples end before its header says, or that holds non-finite floats.
Recording<double> readRecording(const std::string& path);
Recording<float> readRecordingFloat(const std::string& path);

}  // namespace auralyn::recording
