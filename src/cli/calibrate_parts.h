#pragma once

#include <optional>
#include <string>

#include "calibration/calibrator_tone.h"
#include "calibration/profile.h"
#include "cli/cli11_forward.h"
#include "recording/recording_format.h"

namespace auralyn::cli {

// The three parts of `auralyn calibrate`, each adding itself under the command.
void addCalibrateInput(CLI::App& calibrate, int& exitCode);
void addCalibrateOutput(CLI::App& calibrate, int& exitCode);
void addCalibrateShow(CLI::App& calibrate, int& exitCode);

// What a calibration of one side starts from: the profile at `path` where
// there is one (an existing profile given with -o is updated, not replaced).
// A request with a usage problem is refused with exit status 2, a file at
// `path` that is no profile with 1; the reason is printed, after `command`.
struct ProfileToUpdate {
    std::optional<calibration::CalibrationProfile> existing;
    int refusal = 0;  // 0, or the exit status of the refused request
};
ProfileToUpdate profileToUpdate(const std::string& command, const std::string& usageProblem, const std::string& path);

// -o PROFILE.json, the profile that a calibration writes or updates.
void addProfileOption(CLI::App* command, std::string& profilePath);

// A calibrator's (or a loopback's) steady tone in channel `channel` of the
// recording at `path`, with the recording's format; nothing where the file
// cannot be read or the tone is refused (the reason printed).
struct RecordedTone {
    calibration::CalibratorTone tone;
    recording::RecordingFormat format;
};
std::optional<RecordedTone> recordedCalibrationTone(const std::string& path, int channel);

// Writes `sides` into the profile at `path`, keeping what it already holds of
// the other side, complete or not at all, and prints `done` once it is written.
// The exit status of the calibration: 1 (reason printed) when it is not written.
int writeProfileSides(const std::string& path, const calibration::CalibrationProfile& sides, const std::string& done);

}  // namespace auralyn::cli
