#include "analysis/clock_corrected_sweep.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "analysis/clock_walk.h"
#include "analysis/fit_uncertainty.h"
#include "analysis/recording_pulse.h"
#include "analysis/harmonic_fit.h"
#include "analysis/phase_clock.h"
#include "analysis/split_fit.h"
#include "analysis/sweep_origin.h"
#include "analysis/time_origin.h"
#include "analysis/tone_arrivals.h"
#include "analysis/tone_layout.h"

namespace auralyn::analysis {
namespace {

double measuredFrequency(const ClockWalk& walk, std::size_t position) {
    if (position < walk.estimates.size() && walk.estimates[position].valid) return walk.estimates[position].frequency;
    return std::numeric_limits<double>::quiet_NaN();
}

// The tone's name, its block and its fundamental as read from `fit`, made at that block.
ClockCorrectedTone toneFrom(const NominalTone& tone, const BlockPlacement& block, const HarmonicFit& fit) {
    ClockCorrectedTone result;
    result.fit = fit;
    result.index = tone.index;
    result.nominalFrequency = tone.frequency;
    if (fit.valid) {
        result.amplitude = fit.amplitude(1);
        result.phase = fit.phase();
    }
    result.blockStart = block.start;
    result.blockLength = block.length;
    result.blockLead = block.lead;
    result.fittedFrequency = block.frequency;
    return result;
}

}  // namespace

// What a tone's phase is read from while the start and the clock are still
// being placed: the three-parameter fit of DC and the fundamental alone
// (IEEE Std 1057), a fraction of the joint fit's cost, which only the tones at
// their final places need (the clock's passes would otherwise fit each tone
// in full up to five times). A distorted tone's harmonics stay in the
// residual: its phase then counts for less in the clock's fit, never more.
ClockCorrectedTone phaseFitAt(const NominalTone& tone, const BlockPlacement& block,
                              const std::vector<Sample>& recording, double rate) {
    if (block.first < 0) return toneFrom(tone, block, HarmonicFit{});
    return toneFrom(tone, block,
                    fitFundamental(recording.data() + block.first, static_cast<std::size_t>(block.count),
                                   block.firstTime, block.frequency / rate));
}

// The tone's one fit: the joint fit of DC, the fundamental and its harmonics
// (harmonic_fit.h), whose fundamental is the three-parameter fit of IEEE Std
// 1057 freed of the harmonics' leakage, made with its halves' fits in one
// pass (split_fit.h). The quality analysis and the steadiness check reuse them.
ClockCorrectedTone fitToneAt(const NominalTone& tone, const BlockPlacement& block,
                             const std::vector<Sample>& recording, double rate) {
    // A block before the recording's first sample (recorded too late) holds nothing: no fit.
    if (block.first < 0) return toneFrom(tone, block, HarmonicFit{});
    const Sample* samples = recording.data() + block.first;
    const auto count = static_cast<std::size_t>(block.count);
    SplitFit split = fitWithHalves(samples, count, block.firstTime, block.frequency / rate);
    ClockCorrectedTone result = toneFrom(tone, block, split.whole);
    result.halves = split.halves;
    result.clip = checkClipping(samples, count);
    return result;
}

namespace {

enum class ToneFit { Full, PhaseOnly };

// Every tone the recording holds fitted at its place on a clock of `ppm`.
void fitTones(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones, const std::vector<Sample>& recording,
              const ClockWalk& walk, double ppm, ClockCorrectedSweep& sweep, ToneFit how = ToneFit::Full) {
    const double rate = plan.params().sampleRate;
    sweep.tones.clear();
    // A tone with its fits is the better part of a kilobyte: grown in place, not copied.
    sweep.tones.reserve(tones.size());
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const BlockPlacement block = placeBlock(tones[i], static_cast<double>(sweep.trigger), ppm);
        if (block.first + block.count > static_cast<std::int64_t>(recording.size())) break;
        ClockCorrectedTone& tone = sweep.tones.emplace_back(how == ToneFit::Full
                                                                ? fitToneAt(tones[i], block, recording, rate)
                                                                : phaseFitAt(tones[i], block, recording, rate));
        tone.measuredFrequency = measuredFrequency(walk, i);
        if (i < walk.estimates.size()) tone.frequencyStandardError = walk.estimates[i].standardError;
    }
}

// How far the start may lie from the trigger when the phases are unwrapped
// (the trigger is rounded, and a pulse's rise spans a sample or two).
constexpr double kStartPriorSamples = 4.0;

// As the tone's quality reports it (tone_quality.cpp): over every sample.
double fitResidualRms(const HarmonicFit& fit) {
    return fit.count > 0 ? std::sqrt(fit.residualSquares / static_cast<double>(fit.count)) : 0.0;
}

std::vector<ClockPhase> clockPhases(const ClockCorrectedSweep& sweep, double rate) {
    const double trigger = static_cast<double>(sweep.trigger);
    std::vector<ClockPhase> phases;
    for (const ClockCorrectedTone& tone : sweep.tones)
        if (const std::optional<StartPhase> p = tonePhase(tone, trigger, rate))
            phases.push_back({p->cyclesPerSample, p->time, p->phase, p->sigma,
                              clockPhaseBias(tone.amplitude, fitResidualRms(tone.fit), p->cyclesPerSample,
                                             tone.nominalFrequency / rate, tone.blockLength)});
    return phases;
}

// Blocks placed on a clock far off, or from a start tens of samples off (the
// tones alone place a quiet sweep's start only that well before their phases
// are read), hold their tones only in part; placed again where the phases put
// them, they are read once more, until neither moves by more than its own
// uncertainty (nor the start by half a sample).
constexpr int kMaxClockPasses = 4;

bool settled(const PhaseClock& fit) { return std::fabs(fit.ratioShift) <= fit.ratioSd && std::fabs(fit.startShift) < 0.5; }

// The tones' phases along the sweep, where they fit one clock on a device of
// flat phase (phase_clock.h), time the recording far better than their
// frequencies: the clock figure then comes from them. Where they do not (at
// any pass), the frequencies' figure and the trigger stay. A pulse's trigger,
// which the tones confirmed, stays. `sweep.tones` come in and go out as
// phase fits (phaseFitAt): the caller fits them in full once, where they end.
void refineClockByPhases(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                         const std::vector<Sample>& recording, const ClockWalk& walk, ClockCorrectedSweep& sweep) {
    const double rate = plan.params().sampleRate;
    const clock::ClockFigure byFrequency = sweep.clock;
    const std::int64_t trigger = sweep.trigger;
    const double frequencyRatio = 1.0 + byFrequency.ppm * 1e-6;
    const double priorSd = byFrequency.u95 / kNormal95 * 1e-6;
    double ratio = frequencyRatio;
    for (int pass = 0; pass < kMaxClockPasses; ++pass) {
        PhaseClock fit =
            fitPhaseClock(clockPhases(sweep, rate), frequencyRatio / ratio - 1.0, priorSd, kStartPriorSamples);
        if (!fit.accepted) break;
        if (sweep.timedByPulse) fit.startShift = 0.0;
        const bool done = settled(fit);
        ratio *= 1.0 + fit.ratioShift;
        sweep.clock.ppm = (ratio - 1.0) * 1e6;
        sweep.clock.u95 = kNormal95 * fit.ratioSd * ratio * 1e6;
        sweep.trigger += std::llround(fit.startShift);
        if (done) {
            sweep.clockFromPhases = true;
            return;
        }
        fitTones(plan, tones, recording, walk, sweep.clock.ppm, sweep, ToneFit::PhaseOnly);
    }
    sweep.clock = byFrequency;
    sweep.trigger = trigger;
}

// A device whose delay varies along the sweep delays some tones by far more
// than the common placement allows for: those tones' blocks are taken where
// they themselves arrive (tone_arrivals.h) and fitted again there, their
// phases still referred to their common places. A block the move would take
// out of the recording stays.
void moveToArrivals(const std::vector<NominalTone>& tones, const std::vector<Sample>& recording, double ppm,
                    double rate, ClockCorrectedSweep& sweep) {
    const double trigger = static_cast<double>(sweep.trigger);
    sweep.blockLeads = toneLeads(sweep.tones, tones, trigger, rate);
    if (sweep.blockLeads.empty()) return;
    sweep.tonesAtCommonPlace = sweep.tones;
    const std::vector<NominalTone> moved = withLeads(tones, sweep.blockLeads);
    for (std::size_t i = 0; i < sweep.tones.size() && i < sweep.blockLeads.size(); ++i) {
        if (sweep.blockLeads[i] == 0.0) continue;
        const BlockPlacement block = placeBlock(moved[i], trigger, ppm);
        if (block.first < 0 || block.first + block.count > static_cast<std::int64_t>(recording.size())) {
            sweep.blockLeads[i] = 0.0;
            continue;
        }
        ClockCorrectedTone& tone = sweep.tones[i];
        ClockCorrectedTone refitted = fitToneAt(moved[i], block, recording, rate);
        refitted.measuredFrequency = tone.measuredFrequency;
        refitted.frequencyStandardError = tone.frequencyStandardError;
        tone = std::move(refitted);
    }
    // Every move left the recording: nothing moved, and the jump search
    // need not judge the common placement twice.
    if (std::all_of(sweep.blockLeads.begin(), sweep.blockLeads.end(), [](double lead) { return lead == 0.0; })) {
        sweep.blockLeads.clear();
        sweep.tonesAtCommonPlace.clear();
    }
}

// The clock walk from the sweep's trigger, then every tone's fit at its place
// on the clock found.
void measureFromTrigger(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                        const std::vector<Sample>& recording, ClockCorrectedSweep& sweep,
                        std::optional<ClockPrior> prior = std::nullopt) {
    const ClockWalk walk = walkClock(plan, tones, recording, sweep.trigger,
                                     {sweep.timedByPulse, 0.0, noiseBefore(recording, sweep.trigger), prior});
    sweep.clock = walk.figure;
    sweep.pulsesFound = walk.pulsesFound;
    sweep.corrected = walk.figure.verdict == clock::ClockVerdict::Measured;
    if (sweep.corrected) {
        fitTones(plan, tones, recording, walk, walk.figure.ppm, sweep, ToneFit::PhaseOnly);
        refineClockByPhases(plan, tones, recording, walk, sweep);
    }
    const double ppm = sweep.corrected ? sweep.clock.ppm : 0.0;
    fitTones(plan, tones, recording, walk, ppm, sweep);
    moveToArrivals(tones, recording, ppm, plan.params().sampleRate, sweep);
    sweep.tonesMissing = sweep.tonesExpected - static_cast<std::uint32_t>(sweep.tones.size());
}

// Where the tones measured from the first pulse agree on one clock and line
// up behind the pulse to within the agreement the locator asks of it, their
// start is the pulse's and the matched filter could only confirm it: the
// search of the stretches is skipped. A start searched only this near the
// pulse, with the tones all in line there (coherence near 1), cannot be a
// sidelobe of a start far away; anything less is left to the locator.
constexpr double kConfirmingReach = 16.0;
constexpr double kConfirmingCoherence = 0.9;

// The stretches place the start to tens of samples: blocks that far from
// their tones reach into their neighbours' and pull their frequencies towards
// them (a few ppm). Once the walk has read the ratio from the tones where the
// stretches put them, their phases put the start to a fraction of a sample;
// where it lies further off than a pulse's trigger may, they are measured
// again from there.
void measureFromTonesStart(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                           const std::vector<Sample>& recording, const ClockCorrectedSweep& unmeasured,
                           const TimeOrigin& origin, ClockCorrectedSweep& sweep) {
    if (!sweep.corrected) return;
    const double trigger = static_cast<double>(sweep.trigger);
    const OriginShift shift = originShift(tonePhases(sweep.tones, trigger, plan.params().sampleRate), kOriginReach);
    if (!shift.valid || std::fabs(shift.shift) <= kPulseAgreementSamples) return;
    ClockCorrectedSweep again = unmeasured;
    again.trigger = std::llround(trigger + shift.shift);
    measureFromTrigger(plan, tones, recording, again, origin.clock);
    if (again.corrected) sweep = std::move(again);
}

bool tonesConfirmPulse(const ClockCorrectedSweep& sweep, double rate) {
    if (!sweep.corrected) return false;
    const OriginShift shift =
        originShift(tonePhases(sweep.tones, static_cast<double>(sweep.trigger), rate), kConfirmingReach);
    return shift.valid && shift.coherence >= kConfirmingCoherence && std::fabs(shift.shift) <= kPulseAgreementSamples;
}

}  // namespace

ClockCorrectedSweep measureWithClockCorrection(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                                               FirstPulse firstPulse) {
    const std::vector<NominalTone> tones = nominalTones(plan);
    ClockCorrectedSweep sweep;
    sweep.tonesExpected = static_cast<std::uint32_t>(tones.size());
    sweep.tonesMissing = sweep.tonesExpected;
    const std::optional<std::int64_t> found = findFirstTrigger(plan, recording);
    sweep.pulseFound = found.has_value();
    const std::optional<std::int64_t> pulse = firstPulse == FirstPulse::MayTime ? found : std::nullopt;
    std::optional<ClockCorrectedSweep> fromPulse;
    if (pulse) {
        fromPulse = sweep;
        fromPulse->located = true;
        fromPulse->timedByPulse = true;
        fromPulse->trigger = *pulse;
        measureFromTrigger(plan, tones, recording, *fromPulse);
        if (tonesConfirmPulse(*fromPulse, plan.params().sampleRate)) return std::move(*fromPulse);
    }
    // An ignored pulse is still the search's hint, never its origin.
    TimeOrigin origin = findOrigin(plan, recording, found);
    sweep.locatorMargin = origin.margin;
    if (!origin.found || (origin.byPulse && !pulse)) return sweep;
    if (origin.startSigma > 0.0) chooseTrigger(plan, tones, recording, pulse, origin);
    // The locator kept the pulse: the sweep was measured from it already,
    // unless no clock was found there from the ratio's whole range.
    const bool pulseMeasured = fromPulse && fromPulse->clock.verdict != clock::ClockVerdict::Disagree;
    if (pulseMeasured && origin.byPulse && origin.trigger == fromPulse->trigger) {
        fromPulse->locatorMargin = origin.margin;
        return std::move(*fromPulse);
    }
    sweep.located = true;
    sweep.timedByPulse = origin.byPulse;
    sweep.trigger = origin.trigger;
    const ClockCorrectedSweep unmeasured = sweep;
    measureFromTrigger(plan, tones, recording, sweep, origin.clock);
    if (origin.stretchesStart) measureFromTonesStart(plan, tones, recording, unmeasured, origin, sweep);
    return sweep;
}

}  // namespace auralyn::analysis
