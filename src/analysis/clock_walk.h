#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/sample.h"
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
};

// Finds the clock ratio progressively, in the order the tones were played:
// each tone's block is placed with the ratio of the tones before it, shrunk
// by what that ratio may still be wrong, and its frequency estimated near
// nominal / ratio. So a recording 1000 ppm off, whose late tones lie
// thousands of samples from their nominal places, is still read where its
// tones are. Later sync pulses, searched where the ratio puts them, add the
// spans between them, when the options allow.
// The clock ratio as the sweep's stretches put it before any tone was read
// (sweep_locator.h): ppm and its standard uncertainty.
struct ClockPrior {
    double ppm = 0.0;
    double sigma = 0.0;
};

struct WalkOptions {
    // `trigger` is the first pulse's trigger (not where the sweep's tones put
    // its start: a smeared pulse's trigger lies elsewhere).
    bool usePulses = true;
    // Samples by which the origin itself may be wrong: each block's ends are
    // kept that much clearer of the neighbouring tones.
    double originDoubt = 0.0;
    // The recording's noise (variance per sample) before the sweep, 0 where
    // unknown. A block with no clear tone whose residual is no louder than
    // this (a high-pass's stop band, a tone below the noise) is no
    // observation and is not offered: the tones that are there decide the
    // ratio. A block that holds something else (another sweep's tone) counts
    // against the ratio.
    double noiseVariance = 0.0;
    // Where the walk finds no clock from the ratio's whole range, it walks
    // again from this one: a high-pass's stop band leaves the first tones in
    // the noise, and by the first tone that stands clear of it, blocks kept
    // clear of +-2000 ppm hold too few samples to read.
    std::optional<ClockPrior> prior;
};

ClockWalk walkClock(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                    const std::vector<Sample>& recording, std::int64_t trigger, const WalkOptions& options = {});

}  // namespace auralyn::analysis
