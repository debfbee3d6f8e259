#pragma once

// Where a recording's tones are placed from: the sweep's start as the matched
// filter's stretches put it, refined by the tones' own phases, or the first
// sync pulse's trigger where it lies there.
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/clock_walk.h"
#include "analysis/sample.h"
#include "analysis/tone_layout.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// Where the tones are placed from, and whether later pulses may time them.
struct TimeOrigin {
    bool found = false;
    std::int64_t trigger = -1;
    bool byPulse = false;
    double margin = 0.0;
    double start = 0.0;       // where the stretches put the sweep's start, fractional
    double startSigma = 0.0;  // and its standard uncertainty; 0: not located by them
    std::optional<ClockPrior> clock;  // the ratio the stretches lie on, where they placed the start
    bool stretchesStart = false;      // the trigger is the stretches' start, which the tones could not refine
};

// A pulse's trigger is the sweep's origin when it lies where the tones put
// the start, within their uncertainty and two samples (the pulse's rise
// through the threshold); a device that smears or delays the pulse puts it
// elsewhere, and then the tones' start is used.
inline constexpr double kPulseAgreementSigmas = 4.0;
inline constexpr double kPulseAgreementSamples = 2.0;

// The noise per sample before the sweep (its lead-in, clear of the first
// pulse), 0 where the recording holds too little of it to tell.
double noiseBefore(const std::vector<Sample>& recording, std::int64_t trigger);

// The sweep's start as the stretches put it, with the ratio they lie on; a
// pulse found is the origin where they find nothing (or where the build has
// no correlator).
TimeOrigin findOrigin(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                      std::optional<std::int64_t> pulse);

// The trigger the tones are placed from, once the stretches have placed the
// start (origin.startSigma > 0): the pulse's where it agrees, else the start
// the tones' phases give.
void chooseTrigger(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                   const std::vector<Sample>& recording, std::optional<std::int64_t> pulse, TimeOrigin& origin);

}  // namespace auralyn::analysis
