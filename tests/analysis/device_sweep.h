#pragma once

#include "simulation/device.h"
#include "simulated_sweep.h"

namespace auralyn::test {

// The sweep played through a simulated device that keeps the length (no delay,
// no clock error), rounded to 16 bits as a recorder would store it.
SimulatedSweep deviceSweep(const sweep::SweepParameters& p, const simulation::Device& device);

}  // namespace auralyn::test
