#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "calibration/profile.h"

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

// Writes `sides` into the profile at `path`, keeping what it already holds of
// the other side, complete or not at all. False (reason printed) on failure.
bool writeProfileSides(const std::string& path, const calibration::CalibrationProfile& sides);

}  // namespace auralyn::cli
