#pragma once

#include <cstdint>
#include <vector>

#include "clock/clock_figure.h"
#include "analysis/lead_in_noise.h"
#include "analysis/sweep_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// One channel of a recording, or the device under test's against a loopback
// reference, as the measurement takes it: whole, from the data's first sample.
struct RecordingChannels {
    const std::vector<std::int16_t>& device;
    const std::vector<std::int16_t>* reference = nullptr;  // a wire from the output; nullptr: none
};

// What gave a measurement its time base.
enum class TimeBase {
    Pulse,      // the sweep's tones, found near the first sync pulse
    Sweep,      // the sweep's tones, found by searching the whole recording
    Reference,  // the reference channel's tones
};

// A clock-corrected measurement of a whole recording.
struct RecordingAnalysis {
    SweepAnalysis sweep;            // every tone with its quality; end tells why tones are missing
    clock::ClockFigure clock;       // meaningful only when located
    bool pulseFound = false;        // the first sync pulse was found (a hint only)
    bool located = false;           // the sweep was found in the recording
    bool corrected = false;         // the tones were placed with clock.ppm
    // Where the sweep begins in the recording: its first sync pulse's first
    // sample, fractional, with the half-width of its 95 % interval; every
    // phase refers to it.
    double delaySamples = 0.0;
    double delayU95Samples = 0.0;
    TimeBase sync = TimeBase::Sweep;
    std::uint32_t tonesBelowNoise = 0;  // left out of the clock figure
};

// The silent stretch of a recording before its first sync pulse: everything
// up to kLeadInMargin samples before the trigger, whatever the recording was
// started with, so the pulse's rise and a device's smearing of it stay out.
LeadInSpan leadInBefore(const std::vector<std::int16_t>& recording, std::int64_t trigger);
inline constexpr std::int64_t kLeadInMargin = 1024;

// The measurement analyze makes with the clock correction: the sweep's start,
// the clock ratio and each tone's place and frequency from
// measureWithClockCorrection (on the reference channel where there is one), then
// amplitude, phase, distortion, noise and uncertainty from measureTone at that
// fractional place and frequency. With a reference, each tone's response is
// the device's over the reference's (complex), measured in the same blocks.
// Without a reference, the start is refined once more from the final phases
// and its uncertainty widens each phase's interval (2 pi f u(start)).
RecordingAnalysis analyzeRecording(const sweep::SweepPlan& plan, const RecordingChannels& channels);

// The quality columns for echoprobe's walk (amplitude and phase stay
// echoprobe's): measureTone at each tone's nominal place after the first pulse
// as this recording holds it.
void addToneQuality(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording, SweepAnalysis& analysis);

}  // namespace auralyn::analysis
