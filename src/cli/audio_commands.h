#pragma once

#include "cli/cli11_forward.h"

namespace auralyn::cli {

// `auralyn devices`: the sound devices with their names, channel counts and rates.
void addDevicesCommand(CLI::App& app, int& exitCode);

// `auralyn measure`: play the sweep, record the input, analyse the recording.
void addMeasureCommand(CLI::App& app, int& exitCode);

}  // namespace auralyn::cli
