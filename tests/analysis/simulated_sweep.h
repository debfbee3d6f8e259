#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/lead_in_noise.h"
#include "sweep/sweep_layout.h"

namespace auralyn::test {

// Where one tone's measured block lies in a recording laid out exactly as the
// generator writes the sweep (no delay, one clock).
using TonePlace = sweep::ToneSpan;

struct SimulatedSweep {
    std::uint32_t sampleRate = 0;
    std::vector<analysis::Sample> samples;
    std::vector<TonePlace> tones;
    std::size_t leadIn = 0;  // silent samples before the first sync pulse

    analysis::LeadInSpan leadInSpan() const { return {samples.data(), leadIn}; }
    const analysis::Sample* block(const TonePlace& tone) const { return samples.data() + tone.start; }
};

// The sweep record the generator's dialogue stores with every default:
// 48000 Hz, 20 Hz to 20 kHz, 24 tones per octave.
sweep::SweepParameters defaultSweep();

// The sweep as the generator writes it, without a device.
SimulatedSweep plainSweep(const sweep::SweepParameters& p);

}  // namespace auralyn::test
