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

// The profile at `path` where there is one (an existing profile given with -o is
// updated, not replaced); nothing where the file does not exist. A file that
// exists but is no profile prints the reason and sets `failed`.
std::optional<calibration::CalibrationProfile> existingProfile(const std::string& path, bool& failed);

// Writes `sides` into the profile at `path`, keeping what it already holds of
// the other side, complete or not at all. False (reason printed) on failure.
bool writeProfileSides(const std::string& path, const calibration::CalibrationProfile& sides);

}  // namespace auralyn::cli
