#include "analysis/recording_timeline.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "analysis/clock_drift.h"
#include "analysis/phase_steps.h"
#include "analysis/recording_pulse.h"
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

// A phase no better than this (radians) tells nothing of a step of a sample.
constexpr double kLeastUsefulPhaseSd = 0.2;

// What one tone's block on its timing says of its phase, for the search for
// steps of a sample: usable only where the block is steady and clear.
TonePhase tonePhaseAt(const ToneBlock& block, double frequency) {
    TonePhase phase;
    phase.frequency = frequency;
    if (block.samples == nullptr || !block.fit.valid || !checkBlock(block).steady) return phase;
    const HarmonicFit& fit = block.fit;
    const double amplitude = fit.amplitude(1);
    const double dof = static_cast<double>(fit.count) - fit.parameters();
    if (!(amplitude > 0.0) || dof < 1.0) return phase;
    // Gauss-Markov: the phase's variance is the noise's times the fundamental's
    // mean coefficient variance over the amplitude squared.
    const double noise = std::max(fit.residualSquares / dof, block.roundingVariance);
    phase.phase = fit.phase();
    phase.sd = std::sqrt(noise * 0.5 * (fit.cosineVariance + fit.sineVariance)) / amplitude;
    phase.usable = phase.sd < kLeastUsefulPhaseSd;
    return phase;
}

// The jumps of a sample or a few that the tones' phases show (phase_steps.h),
// placed between the blocks they lie between, and the tones after each moved.
// Steps as long as the layout's settling time and drift allowance still leave
// every block inside its tone; longer ones leave unsteady tones (timing_jumps.h).
void addPhaseSteps(const std::vector<NominalTone>& tones, const std::vector<TonePhase>& phases, double trigger,
                   double rate, int longest, RecordingTimeline& found) {
    for (const PhaseStep& step : findPhaseSteps(phases, rate, longest)) {
        if (step.tone == 0 || step.tone >= found.timing.size()) continue;
        const BlockPlacement before = placeOnTimeline(tones[step.tone - 1], trigger, found.timing[step.tone - 1]);
        const BlockPlacement after = placeOnTimeline(tones[step.tone], trigger, found.timing[step.tone]);
        const double between = 0.5 * (before.start + before.length + after.start);
        TimingJump jump;
        jump.tone = tones[step.tone].index;
        jump.seconds = between / rate;
        jump.sample = static_cast<std::int64_t>(std::llround(between));
        jump.samples = step.samples;
        jump.exact = true;
        jump.fromPhases = true;
        found.jumps.push_back(jump);
        for (std::size_t j = step.tone; j < found.timing.size(); ++j) found.timing[j].shift += step.samples;
    }
    std::sort(found.jumps.begin(), found.jumps.end(),
              [](const TimingJump& a, const TimingJump& b) { return a.sample < b.sample; });
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

bool fittedAt(const ClockCorrectedTone& tone, const BlockPlacement& place) {
    return tone.blockStart == place.start && tone.blockLength == place.length && tone.blockLead == place.lead &&
           tone.fittedFrequency == place.frequency;
}

const HarmonicFit* sweepFitAt(const ClockCorrectedSweep& sweep, std::size_t i, const BlockPlacement& place) {
    if (i >= sweep.tones.size() || !fittedAt(sweep.tones[i], place)) return nullptr;
    return &sweep.tones[i].fit;
}

namespace {

// The block's halves from `kept` where they are this block's, else fitted
// and kept there for the checks that follow.
void takeHalves(HalvesFit& kept, ToneBlock& block) {
    if (!halvesOf(kept, block)) kept = fitHalves(block);
    block.halves = &kept;
}

// Most trials are the tone's own block, fitted by the sweep already; the
// halves of the last trial of each tone are kept in `halves` for the
// steadiness check.
std::function<TrialBlock(std::size_t, const ToneTiming&)> trialBlocks(
    const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones, const ClockCorrectedSweep& sweep,
    std::int64_t trigger, const std::vector<Sample>& timing, double roundingVariance, std::vector<HalvesFit>& halves) {
    const double rate = plan.params().sampleRate;
    const double clockU95 = sweep.corrected ? sweep.clock.u95 : 0.0;
    // The recording, tones, sweep and halves outlive the search; the numbers are copied.
    return [&tones, &sweep, &timing, &halves, rate, clockU95, trigger, roundingVariance](std::size_t i,
                                                                                        const ToneTiming& t) {
        const BlockPlacement place = placeOnTimeline(tones[i], static_cast<double>(trigger), t);
        ToneBlock block = toneBlockAt(tones[i], place, timing, rate, sweepFitAt(sweep, i, place));
        block.clockU95Ppm = clockU95;
        block.roundingVariance = roundingVariance;
        TrialBlock trial;
        trial.inside = block.samples != nullptr;
        if (!trial.inside || !block.fit.valid) return trial;
        takeHalves(halves[i], block);
        trial.steady = checkBlock(block).steady;
        trial.amplitude = block.fit.amplitude(1);
        return trial;
    };
}

// A jump this short moves no block out of its tone: the tones cannot say
// which side of it the first pulse lies on (phase_steps.h finds it).
constexpr double kLeastOutvotingJump = kLongestPhaseStep;

// The tones outvoted a first pulse that no tone sides against either: the
// tones before the first one steady only at their place hold steady at both,
// as a jump between two of their blocks early in the sweep (a stall or a
// loss longer than the settling time) leaves them. Where no pulse lies at the
// tones' start (a click taken for the first pulse leaves the true pulse
// there), the timing jumped between the first pulse and that tone, by about
// as much as the tones' start lies from the pulse; which of those tones lie
// after it none of them tells, and their phases on either side would differ
// by many cycles. The jump is named from the first tone on and, its place
// and size being only estimated, no tone is placed.
void nameEarlyJump(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                   const std::vector<Sample>& timing, const JumpSearch& search, double samples,
                   const ClockCorrectedSweep& sweep, RecordingTimeline& found) {
    const std::optional<std::size_t> after = firstToneOnlyAfter(search, samples, found.timing);
    if (!after || *after == 0) return;
    const auto reach = static_cast<std::int64_t>(kLeastOutvotingJump);
    if (findTrigger(plan, timing, sweep.trigger - reach, sweep.trigger + reach + 1)) return;
    const BlockPlacement place = placeOnTimeline(tones[0], static_cast<double>(search.trigger), found.timing[0]);
    TimingJump jump;
    jump.tone = tones[0].index;
    jump.seconds = place.start / plan.params().sampleRate;
    jump.sample = place.first;
    jump.samples = samples;
    notePulsesAfter(tones, 0, jump);
    found.jumps.push_back(jump);
    for (ToneTiming& t : found.timing) t.placed = false;
}

// The sweep timed from the first pulse again: the tones' fits, made where
// the later tones put the start, made again from the pulse; their readings
// of the clock stay.
void timeFromPulse(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                   const std::vector<Sample>& timing, std::int64_t pulse, ClockCorrectedSweep& sweep,
                   RecordingTimeline& found) {
    sweep.trigger = pulse;
    sweep.timedByPulse = true;
    const double rate = plan.params().sampleRate;
    for (std::size_t i = 0; i < sweep.tones.size() && i < found.timing.size(); ++i) {
        const BlockPlacement place = placeOnTimeline(tones[i], static_cast<double>(pulse), found.timing[i]);
        if (fittedAt(sweep.tones[i], place)) continue;
        ClockCorrectedTone refitted = fitToneAt(tones[i], place, timing, rate);
        refitted.measuredFrequency = sweep.tones[i].measuredFrequency;
        refitted.frequencyStandardError = sweep.tones[i].frequencyStandardError;
        sweep.tones[i] = refitted;
        found.halves[i] = refitted.halves;
    }
}

// The tones put the sweep's start away from a first pulse that was found: the
// timing jumped early in the sweep and the tones after the jump outvoted
// those before it. Where the first tones side with the pulse, the pulse
// keeps its time base: the sweep is timed from it again, and the jump
// searches that follow find the jump as they find any other. The distance
// between the pulse and the tones' start is no size for it: where the jump
// moved the later tones by more than their blocks' room, the tones' start
// is a compromise.
void keepFirstPulse(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                    const std::vector<Sample>& timing, double roundingVariance, ClockCorrectedSweep& sweep,
                    RecordingTimeline& found) {
    if (!sweep.located || !sweep.pulseFound) return;
    const std::optional<std::int64_t> pulse = findFirstTrigger(plan, timing);
    if (!pulse) return;
    const double samples = static_cast<double>(sweep.trigger - *pulse);
    if (std::fabs(samples) <= kLeastOutvotingJump) return;
    const double clockU95 = sweep.corrected ? sweep.clock.u95 : 0.0;
    const JumpSearch search{plan, tones, timing, *pulse, clockU95,
                            trialBlocks(plan, tones, sweep, *pulse, timing, roundingVariance, found.halves)};
    if (!firstTonesSideWithPulse(search, samples, found.timing)) {
        nameEarlyJump(plan, tones, timing, search, samples, sweep, found);
        return;
    }
    timeFromPulse(plan, tones, timing, *pulse, sweep, found);
}

// The tones' start lies beyond the first pulse's reach and no other pulse
// lies there (a click taken for the first pulse would leave the true one at
// the tones' start).
bool pulseOutvotedByTones(const sweep::SweepPlan& plan, const std::vector<Sample>& timing,
                          const ClockCorrectedSweep& sweep, std::int64_t pulse) {
    if (std::fabs(static_cast<double>(sweep.trigger - pulse)) <= kLeastOutvotingJump) return false;
    const auto reach = static_cast<std::int64_t>(kLeastOutvotingJump);
    return !findTrigger(plan, timing, sweep.trigger - reach, sweep.trigger + reach + 1);
}

// A loss or a stall inside the first tone leaves no tone but that one on the
// first pulse's side. Where the tones' start lies further from the pulse than
// the start search reaches, the blocks placed from a start between the two
// hold their tones only in part, and the tones agree on no clock at all. From
// the pulse the tones alone find such a jump (a run of unsteady tones from
// the first on, and its size from where the later tones end); it is taken
// only where it lies at the first tone and is longer than the phases resolve:
// a recording of another sweep leaves no later tones steady at one distance.
// A low first tone (20 Hz: one period is 50 ms) lets the start search reach
// the tones' start, and they agree on a clock there: the pulse is then
// outvoted (pulseOutvotedByTones), and searched from likewise.
void keepPulseBeforeFirstTone(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                              const std::vector<Sample>& timing, double roundingVariance, ClockCorrectedSweep& sweep,
                              RecordingTimeline& found) {
    if (sweep.timedByPulse || !sweep.located || !sweep.pulseFound || !found.jumps.empty() || tones.empty()) return;
    const std::optional<std::int64_t> pulse = findFirstTrigger(plan, timing);
    if (!pulse) return;
    if (sweep.clock.verdict != clock::ClockVerdict::Disagree && !pulseOutvotedByTones(plan, timing, sweep, *pulse)) return;
    std::vector<ToneTiming> timeline = constantTimeline(tones.size(), 0.0);
    const JumpSearch search{plan, tones, timing, *pulse, 0.0,
                            trialBlocks(plan, tones, sweep, *pulse, timing, roundingVariance, found.halves)};
    const std::vector<TimingJump> jumps = findJumps(search, timeline);
    if (jumps.size() != 1 || jumps.front().tone != tones.front().index) return;
    if (std::fabs(jumps.front().samples) <= kLeastOutvotingJump) return;
    timeFromPulse(plan, tones, timing, *pulse, sweep, found);
}

// Whether the first jump past `known` (those found before the search) lies
// within two tones of `estimated`, with its sign.
bool samePlaceAndSign(const std::vector<TimingJump>& jumps, std::size_t known, const TimingJump& estimated) {
    if (jumps.size() <= known) return false;
    const TimingJump& first = jumps[known];
    const auto apart = std::abs(static_cast<long long>(first.tone) - static_cast<long long>(estimated.tone));
    return apart <= 2 && first.samples * estimated.samples > 0.0;
}

}  // namespace

RecordingTimeline findTimeline(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                               ClockCorrectedSweep& sweep, const std::vector<Sample>& timing,
                               double roundingVariance, bool searchJumps) {
    const double rate = plan.params().sampleRate;
    RecordingTimeline found;
    found.timing = constantTimeline(tones.size(), sweep.corrected ? sweep.clock.ppm : 0.0);
    // The clock model needs only the tones' own readings of the ratio: it is
    // followed where the tones alone time the recording too.
    if (sweep.corrected) {
        found.clockModel = fitClockModel(ratioReadings(sweep, rate));
        if (found.clockModel->drifting) found.timing = driftingTimeline(tones, *found.clockModel, rate);
    }
    if (!searchJumps) return found;
    found.halves.resize(tones.size());
    // The sweep's fits came with their halves: taken wherever a trial is the tone's own block.
    for (std::size_t i = 0; i < tones.size() && i < sweep.tones.size(); ++i) found.halves[i] = sweep.tones[i].halves;
    if (!sweep.timedByPulse) keepFirstPulse(plan, tones, timing, roundingVariance, sweep, found);
    keepPulseBeforeFirstTone(plan, tones, timing, roundingVariance, sweep, found);
    // The jump searches start from the first pulse's place (and the phase-step
    // search needs the tones measured from it).
    if (!sweep.timedByPulse) return found;
    const double trigger = static_cast<double>(sweep.trigger);
    const double clockU95 = sweep.corrected ? sweep.clock.u95 : 0.0;
    const JumpSearch search{plan, tones, timing, sweep.trigger, clockU95,
                            trialBlocks(plan, tones, sweep, sweep.trigger, timing, roundingVariance, found.halves)};
    const std::vector<ToneTiming> unmoved = found.timing;
    const std::vector<TimingJump> jumps = findJumps(search, found.timing);
    const auto phasesOn = [&](const std::vector<ToneTiming>& timeline) {
        std::vector<TonePhase> phases;
        for (std::size_t i = 0; i < tones.size() && i < timeline.size(); ++i) {
            if (!timeline[i].placed) {
                phases.push_back(TonePhase{});
                continue;
            }
            const BlockPlacement place = placeOnTimeline(tones[i], trigger, timeline[i]);
            ToneBlock block = toneBlockAt(tones[i], place, timing, rate, sweepFitAt(sweep, i, place));
            block.clockU95Ppm = clockU95;
            block.roundingVariance = roundingVariance;
            if (block.samples != nullptr) takeHalves(found.halves[i], block);
            phases.push_back(tonePhaseAt(block, place.frequency));
        }
        return phases;
    };
    const int longest = plan.settlingSamples() + std::max(0, plan.driftSamples());
    // A jump that the tones' ends only estimate (to a few samples, and
    // poorly where a loss ran a block into the next tone) may have left the
    // tones after it steady at the old place: where their phases give it to
    // the sample, at about the same tone and with the same sign, they are taken instead.
    const bool estimatedOnly = !jumps.empty() && std::none_of(jumps.begin(), jumps.end(), [](const TimingJump& j) { return j.exact; });
    if (estimatedOnly) {
        RecordingTimeline byPhases = found;
        byPhases.timing = unmoved;
        addPhaseSteps(tones, phasesOn(unmoved), trigger, rate, longest, byPhases);
        if (samePlaceAndSign(byPhases.jumps, found.jumps.size(), jumps.front())) return byPhases;
    }
    found.jumps.insert(found.jumps.end(), jumps.begin(), jumps.end());
    addPhaseSteps(tones, phasesOn(found.timing), trigger, rate, longest, found);
    return found;
}

}  // namespace auralyn::analysis
