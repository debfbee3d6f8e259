#pragma once

#include <string>

#include "simulation/device.h"
#include "simulation/wave_through_device.h"
#include "simulation/driver_wiring.h"

namespace auralyn::simulation {

// Plays a 16-bit mono WAV file (the sweep) into the driver's wiring and writes
// the two-channel recording of it: channel 1 the driver's voltage, channel 2
// the drive, both through the recorder's parts (`recorder`: noise, gain,
// clock, ...; each channel's noise with its own seed). Both channels come
// delayed by the exact filter's delay, and the output is that much longer.
// Written under a temporary name and renamed when complete.
bool runDriverOnWave(const DriverWiring& wiring, const Device& recorder, const std::string& inputPath,
                     const std::string& outputPath, DeviceRunSummary& summary, std::string& error);

}  // namespace auralyn::simulation
