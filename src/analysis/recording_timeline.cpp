#include "analysis/recording_timeline.h"

#include <cmath>

#include "analysis/clock_drift.h"
#include "analysis/timing_jumps.h"
#include "clock/clock_figure.h"

namespace auralyn::analysis {
namespace {

std::vector<RatioReading> ratioReadings(const ClockCorrectedSweep& sweep, double rate) {
    std::vector<RatioReading> readings;
    for (const ClockCorrectedTone& tone : sweep.tones) {
        if (!std::isfinite(tone.measuredFrequency) || !(tone.frequencyStandardError > 0.0)) continue;
        const clock::ClockObservation o =
            clock::observationFromTone(tone.nominalFrequency, tone.measuredFrequency, tone.frequencyStandardError);
        const double centre = tone.blockStart + 0.5 * tone.blockLength - static_cast<double>(sweep.trigger);
        readings.push_back({centre / rate, o.ppm, o.standardError});
    }
    return readings;
}

}  // namespace

ToneBlock toneBlockAt(const NominalTone& tone, const BlockPlacement& place, const std::vector<Sample>& recording,
                      double rate, const HarmonicFit* fitted) {
    ToneBlock block;
    block.cyclesPerSample = place.frequency / rate;
    if (place.first < 0 || place.count <= 0 ||
        place.first + place.count > static_cast<std::int64_t>(recording.size()))
        return block;
    block.fit = fitted != nullptr ? *fitted : fitToneAt(tone, place, recording, rate).fit;
    block.samples = recording.data() + place.first;
    block.count = static_cast<std::size_t>(place.count);
    block.firstTime = place.firstTime;
    return block;
}

const HarmonicFit* sweepFitAt(const ClockCorrectedSweep& sweep, std::size_t i, const BlockPlacement& place) {
    if (i >= sweep.tones.size()) return nullptr;
    const ClockCorrectedTone& tone = sweep.tones[i];
    const bool same = tone.blockStart == place.start && tone.blockLength == place.length &&
                      tone.fittedFrequency == place.frequency;
    return same ? &tone.fit : nullptr;
}

RecordingTimeline findTimeline(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                               const ClockCorrectedSweep& sweep, const std::vector<Sample>& timing,
                               bool searchJumps) {
    const double rate = plan.params().sampleRate;
    RecordingTimeline found;
    found.timing = constantTimeline(tones.size(), sweep.corrected ? sweep.clock.ppm : 0.0);
    if (!sweep.pulseFound) return found;
    if (sweep.corrected) {
        found.clockModel = fitClockModel(ratioReadings(sweep, rate));
        if (found.clockModel->drifting) found.timing = driftingTimeline(tones, *found.clockModel, rate);
    }
    if (!searchJumps) return found;
    const double trigger = static_cast<double>(sweep.trigger);
    const double clockU95 = sweep.corrected ? sweep.clock.u95 : 0.0;
    found.halves.resize(tones.size());
    // Most trials are the tone's own block, fitted by the sweep already; the
    // halves of the last trial of each tone are kept for the steadiness check.
    JumpSearch search{plan, tones, timing, sweep.trigger, clockU95,
                      [&](std::size_t i, const ToneTiming& t) {
                          const BlockPlacement place = placeOnTimeline(tones[i], trigger, t);
                          ToneBlock block = toneBlockAt(tones[i], place, timing, rate, sweepFitAt(sweep, i, place));
                          block.clockU95Ppm = clockU95;
                          TrialBlock trial;
                          trial.inside = block.samples != nullptr;
                          if (!trial.inside || !block.fit.valid) return trial;
                          HalvesFit& halves = found.halves[i];
                          if (!halvesOf(halves, block)) halves = fitHalves(block);
                          block.halves = &halves;
                          trial.steady = checkBlock(block).steady;
                          trial.amplitude = block.fit.amplitude(1);
                          return trial;
                      }};
    found.jumps = findJumps(search, found.timing);
    return found;
}

}  // namespace auralyn::analysis
