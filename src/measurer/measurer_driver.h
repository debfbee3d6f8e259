#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OutputFile = std::unique_ptr<std::FILE, FileCloser>;

// The recording's name as the report shows it (without folder, with extension)
// and as the output file proposal uses it (without its last extension).
struct RecordingName {
    std::string fileName;
    std::string baseName;
};
RecordingName recordingName(const std::string& path, std::uint16_t fileOffset, std::uint16_t extensionOffset);

// The three file questions: the recording (opened), the sweep parameter file
// (loaded into the plan) and the report (opened for writing in text mode).
// False as soon as one question is cancelled.
bool selectFiles(WaveFile& recording, SweepPlan& plan, OutputFile& output, std::string& recordedName);

// True when the recording is mono, 16-bit and at the sweep's sampling rate;
// otherwise prints why and returns false.
bool checkFormat(const SweepPlan& plan, const WaveFile& recording);

// The whole program after the command line; returns the exit code.
int runEchoprobe();

}  // namespace auralyn
