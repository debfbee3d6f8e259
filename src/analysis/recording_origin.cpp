#include "analysis/recording_origin.h"

#include <cmath>

#include "analysis/angles.h"
#include "analysis/fit_uncertainty.h"

namespace auralyn::analysis {
namespace {

// The sweep's start to a fraction of a sample, from the tones of the channel
// that gave the time base; where too few tones stand clear of the noise, the
// trigger stays the origin with what noise may have moved it by.
struct Origin {
    double shift = 0.0;             // samples after the trigger
    double noiseU95 = 0.0;          // samples, what the tones' noise leaves in it
    double ratioSensitivity = 0.0;  // d shift / d ratio (sweep_origin.h)
};


// Only tones that measured steadily place the start: a tone with a gap or a
// burst in its block has a phase that no delay explains. Those that do are
// marked, since the start of a device whose delay varies with frequency is
// that of this very set.
Origin sweepOrigin(const std::vector<std::optional<StartPhase>>& starts, std::vector<ToneMeasurement>& measured,
                   const TimeBaseUncertainty& triggerBase) {
    std::vector<StartPhase> phases;
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < starts.size() && i < measured.size(); ++i) {
        const ToneMeasurement& tone = measured[i];
        const bool flagged = tone.steadiness && tone.steadiness->flag != ToneFlag::None;
        if (!tone.placed || flagged) continue;
        const std::optional<StartPhase>& phase = starts[i];
        if (!phase) continue;
        phases.push_back(*phase);
        used.push_back(i);
    }
    const OriginShift shift = originShift(phases, kOriginReach);
    if (!shift.valid) return {0.0, triggerBase.originSamples, 0.0};
    for (const std::size_t i : used) measured[i].placesStart = true;
    return {shift.shift, kNormal95 * shift.sigma, shift.ratioSensitivity};
}

TimeBase syncOf(const ClockCorrectedSweep& sweep, bool referenced) {
    if (referenced) return TimeBase::Reference;
    return sweep.timedByPulse ? TimeBase::Pulse : TimeBase::Sweep;
}

}  // namespace

// Refers every phase to the sweep's start as the timing channel's tones put
// it where no pulse gave it (with a reference, the device's phase over the
// reference's needs no origin), and widens each tone's intervals by the time base, whose origin
// term is now that start's uncertainty.
void referToOrigin(const ClockCorrectedSweep& sweep, const std::vector<std::optional<StartPhase>>& starts,
                   const std::vector<BlockPlacement>& places, TimeBaseUncertainty timeBase, bool referenced,
                   double rate, RecordingAnalysis& result) {
    const double trigger = static_cast<double>(sweep.trigger);
    // The tones place the start to a small fraction of a sample whether or not
    // a pulse was found: a pulse's trigger keeps whatever fraction of a sample
    // the recorder started at, and a device's smearing of it, in every phase.
    // With a reference the device's phase over the reference's needs no origin.
    const bool byTones = !referenced;
    const Origin origin =
        byTones ? sweepOrigin(starts, result.sweep.tones, timeBase) : Origin{0.0, timeBase.originSamples, 0.0};
    // A wrong ratio moves the start too (in a sweep a clock error looks much
    // like a delay): the start's interval holds both.
    result.delaySamples = trigger + origin.shift;
    result.delayU95Samples = std::hypot(origin.noiseU95, origin.ratioSensitivity * timeBase.ratio);
    if (byTones) timeBase.originSamples = origin.noiseU95;
    result.sync = syncOf(sweep, referenced);
    if (referenced) return;
    for (std::size_t i = 0; i < result.sweep.tones.size() && i < places.size(); ++i) {
        ToneMeasurement& tone = result.sweep.tones[i];
        if (!tone.quality) continue;
        const BlockPlacement& place = places[i];
        const double cyclesPerSample = place.frequency / rate;
        ToneQuality& quality = *tone.quality;
        quality.phase = wrappedRadians(quality.phase + 2.0 * kPi * cyclesPerSample * origin.shift);
        tone.phase = quality.phase;
        // A ratio wrong by dr turns the tone by 2 pi nu dr centre and moves the
        // start by ratioSensitivity dr, which turns it back by 2 pi nu
        // ratioSensitivity dr: one error, whose two effects add before they are
        // squared (GUM 5.2, fully correlated), largely cancelling along a sweep.
        // The phase is the device's against the sweep's true start (where a
        // noise-free recording puts it), so it holds the start's noise too.
        const double centre = place.start + place.lead - trigger + 0.5 * place.length;
        addTimeBase(quality, timeBase, cyclesPerSample, centre + origin.ratioSensitivity, place.length);
    }
}

}  // namespace auralyn::analysis
