#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::bench {

// One tone's measured block in the long recording.
struct ToneSpan {
    double frequency = 0.0;
    std::size_t start = 0;
    std::size_t length = 0;
};

struct LoadedSweep {
    std::uint32_t sampleRate = 0;
    std::vector<float> samples;  // as the measuring library takes them
    std::size_t leadIn = 0;  // silent samples before the first sync pulse
    std::vector<ToneSpan> tones;
};

// Every tone's block along the plan's schedule, laid out as the generator writes it.
std::vector<ToneSpan> toneSpans(sweep::SweepPlan plan);

// The long recording written by writeLongSweep in FOLDER, in memory, with its tones.
LoadedSweep loadLongSweep(const std::string& folder);

// FOLDER/tones.txt: "lead_in SAMPLES", then "START LENGTH FREQUENCY" per tone,
// for the numpy yardstick to measure the very same blocks.
void writeToneSpans(const std::string& folder, const LoadedSweep& sweep);

}  // namespace auralyn::bench
