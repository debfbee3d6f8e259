#pragma once

#include <optional>
#include <string>
#include <vector>

#include "recording/recording_format.h"

namespace auralyn::cli {

// One channel of a recording of any resolution, samples normalised to full
// scale = 1.0.
struct RecordingChannel {
    recording::RecordingFormat format;
    std::vector<double> samples;
};

// Reads channel `channel` (counted from 1) of a WAV file; a file that cannot
// be read or lacks the channel prints the reason and gives nothing.
std::optional<RecordingChannel> readRecordingChannel(const std::string& path, int channel);

}  // namespace auralyn::cli
