#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::echoprobe {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OutputFile = std::unique_ptr<std::FILE, FileCloser>;

// The three file questions: the recording (opened), the sweep parameter file
// (loaded into the plan) and the report (opened for writing in text mode).
// False as soon as one question is cancelled.
bool selectFiles(wave::WaveFile& recording, sweep::SweepPlan& plan, OutputFile& output, std::string& recordedName);

// True when the recording is mono, 16-bit and at the sweep's sampling rate;
// otherwise prints why and returns false.
bool checkFormat(const sweep::SweepPlan& plan, const wave::WaveFile& recording);

// The whole program after the command line; returns the exit code.
int runEchoprobe();

}  // namespace auralyn::echoprobe
