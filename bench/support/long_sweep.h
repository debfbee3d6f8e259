#pragma once

#include <cstdint>
#include <string>

#include "sweep/sweep_plan.h"

namespace auralyn::bench {

// The long benchmark sweep: 20 Hz to 20 kHz in 10 Hz steps, 0.1 s per tone, at
// 48 kHz, with the dialogue's other defaults (about 14 million samples).
sweep::SweepPlan longSweepPlan();

// The dense sweep of `auralyn analyze`'s end-to-end figure
// (bench/analysis/end_to_end.sh): 20 Hz to 20 kHz in 10 Hz steps, 0.05 s
// tones after 0.01 s of settling (1999 tones, about 6.1 million samples).
sweep::SweepPlan denseSweepPlan();

// Writes the sweep as the generator lays it out into FOLDER/rec.wav and its
// parameters into FOLDER/sweep.swp. Returns the number of samples written.
std::uint64_t writeSweep(sweep::SweepPlan plan, const std::string& folder);
std::uint64_t writeLongSweep(const std::string& folder);

}  // namespace auralyn::bench
