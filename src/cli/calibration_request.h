#pragma once

#include <optional>
#include <string>

#include "cli/cli11_forward.h"

namespace auralyn::cli {

// The physical-units options analyze, measure and plot share.
struct CalibrationRequest {
    std::string micCalPath;     // --mic-cal: the microphone's (or interface's) response
    bool invertMicCal = false;  // --invert-cal: the file holds the correction instead
    std::string profilePath;    // --calibration PROFILE.json
    std::optional<double> driveVolts;          // --drive-volts: report SPL at this drive
    std::optional<double> distanceM;           // --distance: stated in the outputs
    std::optional<double> normalizeDistanceM;  // --normalize-distance: inverse-square to this distance
    double playbackLevelDb = 0.0;  // the sweep was played at this level, dBFS (measure --level)
    std::string inputDevice;       // the devices measured, to compare with the profile's
    std::string outputDevice;

    bool any() const {
        return !micCalPath.empty() || !profilePath.empty() || driveVolts || distanceM || normalizeDistanceM;
    }
};

// Adds --mic-cal, --invert-cal, --calibration, --drive-volts, --distance and
// --normalize-distance to a command.
void addCalibrationOptions(CLI::App* command, CalibrationRequest& request);

}  // namespace auralyn::cli
