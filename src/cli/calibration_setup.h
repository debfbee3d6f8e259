#pragma once

#include <optional>

#include <nlohmann/json.hpp>

#include "calibration/profile.h"
#include "calibration/tone_conversion.h"
#include "cli/calibration_request.h"

namespace auralyn::cli {

// The calibration one run applies, and its account for the JSON's "calibration".
struct LoadedCalibration {
    calibration::CalibrationChain chain;
    double playbackLevelDb = 0.0;
    nlohmann::ordered_json description;
};

// Reads the cal file and the profile the request names, prints the warnings a
// profile gives for this setup (another rate, other devices) and returns the
// chain; a broken file prints its error and gives nothing (the run then writes
// no output). Nothing to load gives an empty chain.
std::optional<LoadedCalibration> loadCalibration(const CalibrationRequest& request, const calibration::Setup& setup);

// "dB SPL at 2.83 V, 1 m", "dB SPL", or "dB re full scale": the unit of the
// magnitude axis and of FRD files.
std::string magnitudeUnit(const LoadedCalibration& loaded);

}  // namespace auralyn::cli
