#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "clock/clock_figure.h"
#include "clock/tone_frequency.h"
#include "analysis/tone_layout.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

struct ClockWalk {
    clock::ClockFigure figure;
    // One per tone of `tones` that the recording holds, in the same order.
    std::vector<clock::FrequencyEstimate> estimates;
    std::uint32_t pulsesFound = 0;  // later sync pulses found where the clock put them
    std::uint32_t belowNoise = 0;   // tones whose blocks hold nothing above the recording's noise
};

// Finds the clock ratio progressively, in the order the tones were played:
// each tone's block is placed with the ratio of the tones before it, shrunk
// by what that ratio may still be wrong, and its frequency estimated near
// nominal / ratio. So a recording 1000 ppm off, whose late tones lie
// thousands of samples from their nominal places, is still read where its
// tones are. Later sync pulses, searched where the ratio puts them, add the
// spans between them (measured from the first pulse's trigger, where it was found).
// Tones whose block holds no tone and nothing louder than the noise times
// kBelowNoiseFactor lie below the noise (a filter's stop band): they take no
// part in the clock figure, rather than counting against the tones that agree.
struct WalkOrigin {
    double origin = 0.0;       // recording position of the sweep's first pulse, fractional, as found
    double doubt = 0.0;        // samples it may be off: each block is shrunk by that much at both ends
    std::optional<std::int64_t> firstTrigger;  // the first pulse's trigger, where one was found
    double noiseVariance = 0.0;  // per sample, the recording's noise; 0: unknown
};
ClockWalk walkClock(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                    const std::vector<std::int16_t>& recording, const WalkOrigin& start);
inline constexpr double kBelowNoiseFactor = 4.0;

}  // namespace auralyn::analysis
