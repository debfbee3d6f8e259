#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// A plan with the generator's fixed values and the dialogue's defaults, but a
// short sweep: octave spacing at one tone per octave from 1000 Hz.
sweep::SweepPlan shortSweepPlan(std::uint32_t sampleRate = 48000, double endFrequency = 8000.0);

// The samples of the sweep that the plan describes, laid out as the generator
// lays them out: lead-in silence, then for every tone its sync block when due,
// its lead, measured block and tail of one full-scale sine that rises through
// zero at the block's first sample.
std::vector<std::int16_t> synthesiseSweep(sweep::SweepPlan plan);

// A plain 44-byte-header WAV file holding the samples as given (frames of
// `channels` samples each).
void writeWave(const std::string& path, std::uint32_t sampleRate, const std::vector<std::int16_t>& samples,
               std::uint16_t channels = 1, std::uint16_t bitsPerSample = 16);

// The parameter file of the plan, as the generator saves it (locked).
void writeSweepParameters(const std::string& path, sweep::SweepPlan plan);

}  // namespace auralyn::test
