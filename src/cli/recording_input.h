#pragma once

#include <string>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::cli {

// The inputs every measuring command opens, each printing why it failed.

// Opens the recording for reading.
bool openRecording(const std::string& path, wave::WaveFile& recording);

// Reads the sweep's parameter file into the plan.
bool loadParameters(const std::string& path, sweep::SweepPlan& plan);

// echoprobe's checks in echoprobe's order, then the sample format it takes
// for granted; a recording of several channels passes on to the channel checks.
bool checkRecordingFormat(const std::string& path, const wave::WaveFile& recording, const sweep::SweepPlan& plan);

}  // namespace auralyn::cli
