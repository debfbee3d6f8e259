#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "analysis/lead_in_noise.h"
#include "analysis/sample.h"
#include "analysis/tone_layout.h"
#include "analysis/tone_timeline.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// A silence the layout holds in the recording: the stretch before a later
// sync pulse, where the chain's noise is all there is.
struct Silence {
    LeadInSpan span;
    double centre = 0.0;  // recording samples
};

// The silences before every later sync pulse, where the timeline puts the
// pulses: the second half of each (the first may still hold the ring of the
// tone before), ending a few samples before the pulse. `recording` must
// outlive the spans.
std::vector<Silence> silencesBeforePulses(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                                          double trigger, const std::vector<ToneTiming>& timing,
                                          const std::vector<Sample>& recording, double step);

// Silences looked at around each tone.
inline constexpr std::size_t kNearestSilences = 3;

// The noise at a tone's frequency in the kNearestSilences silences nearest
// its block's centre, each measured as the lead-in is (measureLeadInNoise),
// and the median of their variances taken: a click or a door slam in one of
// them does not set the floor, and noise that grows along the recording is
// seen where the tone is. Its degrees of freedom are the median silence's
// (2 per block), so that the interval's coverage factor pays for how little
// a short silence holds. Empty where fewer than kNearestSilences silences
// hold a block of the tone's noise.
std::optional<LeadInNoise> nearestSilenceNoise(const std::vector<Silence>& silences, double toneCentre,
                                               std::size_t blockLength, double cyclesPerSample);

}  // namespace auralyn::analysis
