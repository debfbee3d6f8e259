#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/non_copyable.h"

namespace auralyn::bench {

// Sends standard output to /dev/null while it lives: echoprobe's loop prints
// its progress.
class QuietStdout : platform::NonCopyable {
public:
    QuietStdout();
    ~QuietStdout();

private:
    int saved_;
};

// The long sweep's recording (FOLDER/rec.wav below the temporary folder),
// written on the first call for that folder.
std::string longRecordingIn(const std::string& folderName);

// The samples of a 16-bit mono WAV file; empty when it cannot be read.
std::vector<std::int16_t> readWholeRecording(const std::string& path);

// A block of a loud steady tone (0.1309 radians a sample, 30000 at its peaks)
// for the building blocks' benchmarks.
std::vector<std::int16_t> toneBlock(std::int32_t count);

}  // namespace auralyn::bench
