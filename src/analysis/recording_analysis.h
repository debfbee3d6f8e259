#pragma once

#include <cstdint>
#include <vector>

#include "analysis/sample.h"
#include "clock/clock_figure.h"
#include "analysis/lead_in_noise.h"
#include "analysis/sweep_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// One channel of a recording, or the device under test's against a loopback
// reference, as the measurement takes it: whole, from the data's first sample.
struct RecordingChannels {
    const std::vector<Sample>& device;
    const std::vector<Sample>* reference = nullptr;  // a wire from the output; nullptr: none
    double step = 1.0;  // the recording's resolution in sample units: 1 for 16 bits, 1/256 for 24
};

// What gave a measurement its time base.
enum class TimeBase {
    Pulse,      // the first sync pulse, where the sweep's tones confirmed it
    Sweep,      // the sweep's tones alone (the pulse missing, too weak or smeared)
    Reference,  // the reference channel
};

// A clock-corrected measurement of a whole recording.
struct RecordingAnalysis {
    SweepAnalysis sweep;            // every tone with its quality; end tells why tones are missing
    clock::ClockFigure clock;       // meaningful only when located
    bool pulseFound = false;        // the first sync pulse was found (a hint only)
    bool located = false;           // the sweep was found in the recording; nothing is measured otherwise
    bool corrected = false;         // the tones were placed with clock.ppm
    // Where the sweep begins in the recording (the first sample of its first
    // sync pulse as played, at the envelope peak of its matched filter,
    // sweep_origin.h), fractional, with the half-width of its 95 % interval.
    // Without a reference every phase refers to it.
    double delaySamples = 0.0;
    double delayU95Samples = 0.0;
    TimeBase sync = TimeBase::Sweep;
};

// The silent stretch of a recording before its first sync pulse: everything
// up to kLeadInMargin samples before the trigger, whatever the recording was
// started with, so the pulse's rise and a device's smearing of it stay out.
// `step` is the recording's resolution (see RecordingChannels).
LeadInSpan leadInBefore(const std::vector<Sample>& recording, std::int64_t trigger, double step = 1.0);
inline constexpr std::int64_t kLeadInMargin = 1024;

// The measurement analyze makes with the clock correction: the clock ratio
// and each tone's place and frequency from measureWithClockCorrection, then
// amplitude, phase, distortion, noise and uncertainty from measureTone at that
// fractional place and frequency. With a reference, each tone's response is
// the device's over the reference's (complex), measured in the same blocks,
// and the pulses and the clock are found on the reference.
RecordingAnalysis analyzeRecording(const sweep::SweepPlan& plan, const RecordingChannels& channels);

// The quality columns for echoprobe's walk (amplitude and phase stay
// echoprobe's): measureTone at each tone's nominal place after the first pulse
// as this recording holds it.
void addToneQuality(const sweep::SweepPlan& plan, const std::vector<Sample>& recording, SweepAnalysis& analysis);

}  // namespace auralyn::analysis
