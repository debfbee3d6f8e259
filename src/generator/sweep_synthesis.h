#pragma once

#include <cstdint>
#include <functional>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::generator {

// Each writer stops at the first sample the wave file refuses and returns false.
// Unless the wave file holds 16-bit samples they write nothing and succeed.

// `count` samples of the constant level percentToAmplitude(percent).
bool writeLevel(std::int32_t count, double percent, wave::WaveFile& wave);

// `count` samples of a sine at `frequency` starting at `startPhase` radians, each
// computed from its own index at the wave file's sampling rate.
bool writeTone(double frequency, double startPhase, double percent, std::int32_t count, wave::WaveFile& wave);

// The whole sample data of the sweep: lead-in silence, then for every tone of the
// schedule its sync block (on sync tones) and its sine. Prints the progress lines on
// standard output. Leaves the plan at its last tone.
bool generateSweep(sweep::SweepPlan& plan, wave::WaveFile& wave);

// The same samples without console output: `progress`, when set, gets the
// percentage done after each tone.
bool synthesizeSweep(sweep::SweepPlan& plan, wave::WaveFile& wave, const std::function<void(double)>& progress);

}  // namespace auralyn::generator
