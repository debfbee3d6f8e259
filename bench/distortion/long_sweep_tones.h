#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sweep/sweep_layout.h"

namespace auralyn::bench {

// One tone's measured block in the long recording.
using ToneSpan = sweep::ToneSpan;

struct LoadedSweep {
    std::uint32_t sampleRate = 0;
    std::vector<float> samples;  // as the measuring library takes them
    std::size_t leadIn = 0;  // silent samples before the first sync pulse
    std::vector<ToneSpan> tones;
};

// The long recording written by writeLongSweep in FOLDER, in memory, with its tones.
LoadedSweep loadLongSweep(const std::string& folder);

// FOLDER/tones.txt: "lead_in SAMPLES", then "START LENGTH FREQUENCY" per tone,
// for the numpy yardstick to measure the very same blocks.
void writeToneSpans(const std::string& folder, const LoadedSweep& sweep);

}  // namespace auralyn::bench
