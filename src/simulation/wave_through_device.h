#pragma once

#include <cstdint>
#include <string>

#include "simulation/device.h"

namespace auralyn::simulation {

struct DeviceRunSummary {
    std::uint32_t sampleRate = 0;
    std::uint64_t samplesIn = 0;
    std::uint64_t samplesOut = 0;
    std::uint64_t clipped = 0;
};

// Plays a 16-bit mono WAV file through the device into another. The output
// appears under its name only when it is complete: it is written under a
// temporary name in the same folder and renamed at the end.
bool runDeviceOnWave(const Device& device, const std::string& inputPath, const std::string& outputPath,
                     DeviceRunSummary& summary, std::string& error);

}  // namespace auralyn::simulation
