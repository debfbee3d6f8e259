#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/tone_layout.h"

namespace auralyn::analysis {

// Where one tone is taken to lie in the recording: the clock ratio at it, and
// how far the recording has moved it beyond what that clock explains (a jump
// before it, or a drifting clock's accumulated time).
struct ToneTiming {
    double ppm = 0.0;     // the clock ratio at this tone
    double shift = 0.0;   // recording samples added to where the ratio puts it
    bool placed = true;   // false: after a jump whose size the recording does not give exactly
};

// The block of a tone on its timing: placeBlock from trigger + shift at its ppm.
BlockPlacement placeOnTimeline(const NominalTone& tone, double trigger, const ToneTiming& timing);

// Where the sync pulse before a tone (one with syncBefore) lies on its timing,
// in recording samples.
double pulseOnTimeline(const NominalTone& tone, double trigger, const ToneTiming& timing);

// One clock ratio for every tone.
std::vector<ToneTiming> constantTimeline(std::size_t tones, double ppm);

// A jump of the recording's timing: every tone from `tone` on lies `samples`
// later (negative: earlier) than the tones before it.
struct TimingJump {
    std::uint32_t tone = 0;      // the first tone it moved
    double seconds = 0.0;        // where, in the recording: the start of that tone's block, before it moved
    std::int64_t sample = 0;     // the same, in recording samples
    double samples = 0.0;        // its size
    bool exact = false;          // measured from a sync pulse to the sample (else estimated from the tones)
    bool fromPhases = false;     // exact, measured from the step it left in the tones' phases (phase_steps.h)
    bool beforeOtherTones = false;  // estimated, in or before the first tone: the later tones time themselves
    bool sweepHasPulses = false;    // the sweep has sync pulses after its first
    bool pulseAfter = false;        // one of them is due after this jump (it did not give the place where estimated)
};

// The recorder's clock against the sweep's along the recording: one ratio,
// or one that changes at a constant rate (a crystal warming up).
struct ClockModel {
    bool drifting = false;
    double ppmAtStart = 0.0;        // at the first pulse
    double slopePpmPerSecond = 0.0;
    double slopeU95 = 0.0;          // ppm per second
    double meanSeconds = 0.0;       // the tones' weighted mean time, where the ratio is surest
    double ppmAtMeanU95 = 0.0;      // the ratio's uncertainty there, ppm
    double spanSeconds = 0.0;       // from the first pulse to the last tone that took part
    std::uint32_t tones = 0;        // tones whose frequency took part
};

}  // namespace auralyn::analysis
