#pragma once

#include <cstdint>
#include <vector>

#include "sweep/sweep_plan.h"

#ifdef AURALYN_HAVE_SIMULATION
#include "simulation/device.h"
#endif

namespace auralyn::test {

// The dialogue's defaults (20 Hz to 20 kHz, 24 tones per octave at 48 kHz),
// with another sync spacing or tone density where a test asks for it.
sweep::SweepPlan defaultSweep(std::uint32_t tonesPerSyncPulse = 0, double tonesPerOctave = 24.0);

// Silence put in front of and behind a recording, as users record.
std::vector<std::int16_t> padded(const std::vector<std::int16_t>& samples, std::size_t before, std::size_t after);

#ifdef AURALYN_HAVE_SIMULATION
// The samples played through a simulated device, rounded to 16 bits.
std::vector<std::int16_t> throughDevice(const std::vector<std::int16_t>& played, const simulation::Device& device,
                                        double sampleRate);
#endif

}  // namespace auralyn::test
