#pragma once

#include <string>
#include <vector>

#include "simulation/device.h"

namespace auralyn::simulation {

// "Frequency (Hz), Magnitude (dB), Phase (deg)" and one line per frequency;
// the phase lies in (-180, 180], a magnitude of zero prints as -Inf.
std::string responseTable(const Device& device, const std::vector<double>& frequencies, double sampleRate);

}  // namespace auralyn::simulation
