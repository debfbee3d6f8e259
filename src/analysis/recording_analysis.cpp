#include "analysis/recording_analysis.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "analysis/angles.h"
#include "analysis/checked_tones.h"
#include "analysis/clipping.h"
#include "analysis/clock_corrected_sweep.h"
#include "analysis/coarse_rounding.h"
#include "analysis/jump_repair.h"
#include "analysis/median.h"
#include "analysis/quiet_lead_in.h"
#include "analysis/recording_timeline.h"
#include "analysis/method_bias.h"
#include "analysis/recording_origin.h"
#include "analysis/recording_pulse.h"
#include "analysis/silence_noise.h"
#include "analysis/sweep_origin.h"
#include "analysis/time_base_budget.h"
#include "analysis/tone_arrivals.h"
#include "analysis/walk_time_base.h"
#include "analysis/tone_layout.h"
#include "analysis/tone_quality.h"
#include "measurer/recording_walk.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

// The longest run of samples that a sine of exactly full scale rounds to
// full scale at its crest: those within half a step of 32767, i.e. phases
// within acos(1 - 0.5 / 32767) of the crest. The generator writes such sines
// by design, so a low tone of a full-scale sweep shows a flat top of a few
// samples (5 at 20 Hz and 48 kHz) without any clipping; a recorder that
// clips flattens far more (58 samples at 20 Hz for 0.1 dB over full scale,
// 2 or 3 at 1 kHz). Clipping is a run of 2 or more beyond this.
std::size_t naturalFullScaleRun(double cyclesPerSample) {
    if (!(cyclesPerSample > 0.0)) return 0;
    const double halfWidth = std::acos(1.0 - 0.5 / kFullScale);
    return static_cast<std::size_t>(std::floor(halfWidth / (kPi * cyclesPerSample))) + 1;
}

struct BlockSamples {
    const Sample* samples = nullptr;
    std::size_t count = 0;
    double firstTime = 0.0;
};

BlockSamples blockIn(const std::vector<Sample>& recording, const BlockPlacement& block) {
    if (block.first < 0 || block.count <= 0 ||
        block.first + block.count > static_cast<std::int64_t>(recording.size()))
        return {};
    return {recording.data() + block.first, static_cast<std::size_t>(block.count), block.firstTime};
}

ToneQuality qualityOf(const BlockSamples& block, double cyclesPerSample, const LeadInSpan& leadIn) {
    return measureTone(block.samples, block.count, block.firstTime, cyclesPerSample, leadIn);
}

// The lead-in's noise at the tone, measured once for both the tone's
// uncertainty and its steadiness check.
std::optional<LeadInNoise> noiseAt(const BlockSamples& block, double cyclesPerSample, const LeadInSpan& leadIn) {
    if (block.samples == nullptr) return std::nullopt;
    return measureLeadInNoise(leadIn, block.count, cyclesPerSample);
}

// Past the first later sync pulse, the silences nearest the tone say more of
// the noise where it is than the lead-in does (noise that grows along the
// recording, a rumble that starts): their noise is taken in its place.
std::optional<LeadInNoise> nearestNoise(std::optional<LeadInNoise> leadIn, const std::vector<Silence>& silences,
                                        const BlockSamples& block, const BlockPlacement& place, double cyclesPerSample) {
    if (block.samples == nullptr || silences.empty() || place.start < silences.front().centre) return leadIn;
    const std::optional<LeadInNoise> near =
        nearestSilenceNoise(silences, place.start + 0.5 * place.length, block.count, cyclesPerSample);
    return near ? near : leadIn;
}

bool clipped(const ClipCheck& check, double cyclesPerSample) {
    const std::size_t run = check.longestRunAtFullScale;
    return run >= 2 && run > naturalFullScaleRun(cyclesPerSample);
}

bool clipped(const BlockSamples& block, double cyclesPerSample) {
    return clipped(checkClipping(block.samples, block.count), cyclesPerSample);
}

// The device's tone over the reference's, to first order in their errors: the
// level in dB and the phase are differences, so their 95 % half-widths add in
// quadrature (the two channels' noises are independent).
void divideByReference(ToneQuality& device, const ToneQuality& reference) {
    if (!(reference.amplitude > 0.0) || !device.fitted || !reference.fitted) {
        device.amplitude = 0.0;
        device.levelDbfs.reset();
    } else {
        device.amplitude = kFullScale * device.amplitude / reference.amplitude;
        device.phase = wrappedRadians(device.phase - reference.phase);
        device.levelDbfs = amplitudeDb(device.amplitude / kFullScale);
    }
    device.magnitudeU95Db = std::hypot(device.magnitudeU95Db, reference.magnitudeU95Db);
    device.phaseU95Deg = std::min(std::hypot(device.phaseU95Deg, reference.phaseU95Deg), 180.0);
}

ToneMeasurement measuredTone(const ClockCorrectedTone& tone, const ToneQuality& quality) {
    ToneMeasurement m;
    m.index = tone.index;
    m.frequency = tone.nominalFrequency;
    m.blockLength = static_cast<std::int32_t>(std::lround(tone.blockLength));
    m.amplitude = quality.amplitude;
    m.phase = quality.phase;
    if (std::isfinite(tone.measuredFrequency)) m.measuredFrequency = tone.measuredFrequency;
    m.quality = quality;
    return m;
}

measurer::WalkEnd endOf(const ClockCorrectedSweep& sweep, std::size_t recordingLength, const sweep::SweepPlan& plan) {
    if (sweep.tonesMissing == 0) return measurer::WalkEnd::Complete;
    if (sweep.located) return measurer::WalkEnd::RecordingEnded;
    // A recording no longer than the lead-in ends before any pulse could be due.
    const auto leadIn = static_cast<std::size_t>(sweep::measurerLeadInSamples(plan.params()));
    return recordingLength <= leadIn ? measurer::WalkEnd::RecordingEnded : measurer::WalkEnd::PulseNotFound;
}

// The block as the steadiness check takes it, with the silence's noise at its
// frequency; `fitted`, when given, is its fit made already, `halves` those of
// the jump search's last trial of the tone (taken if they are this block's).
ToneBlock checkedBlock(const NominalTone& tone, const BlockPlacement& place, const std::vector<Sample>& recording,
                       const LeadInSpan& leadIn, const std::optional<LeadInNoise>& noise,
                       const ClockCorrectedSweep& sweep, double rate, double grid, const HarmonicFit* fitted,
                       const HalvesFit* halves) {
    ToneBlock block = toneBlockAt(tone, place, recording, rate, fitted);
    block.clockU95Ppm = sweep.corrected ? sweep.clock.u95 : 0.0;
    block.roundingVariance = std::max(leadIn.roundingVariance, kQuantizationVariance * grid * grid);
    block.halves = halves;
    if (block.samples == nullptr) return block;
    if (noise) block.leadInVariance = noise->variance;
    return block;
}

// Noise is judged over stretches of 10 ms.
std::size_t quietStretch(double rate) { return std::max<std::size_t>(64, static_cast<std::size_t>(rate / 100.0)); }

double medianResidualVariance(const ClockCorrectedSweep& sweep) {
    std::vector<double> variances;
    for (const ClockCorrectedTone& tone : sweep.tones) {
        const double dof = static_cast<double>(tone.fit.count) - tone.fit.parameters();
        if (tone.fit.valid && dof >= 1.0) variances.push_back(tone.fit.residualSquares / dof);
    }
    return median(std::move(variances));
}

// The lead-in without its loud stretches (quiet_lead_in.h), kept in
// `storage`. When even its quiet stretches are louder than what the tones
// leave in their fits (the whole lead-in holds clicks or talk that stopped when
// the sweep began), it says nothing about the noise during the sweep and is
// not used: the tones' own residuals then give their noise.
LeadInSpan quietLeadIn(const std::vector<Sample>& recording, const ClockCorrectedSweep& sweep,
                       bool fitsAreThisChannel, double rate, double step, std::vector<Sample>& storage) {
    LeadInSpan whole = leadInBefore(recording, sweep.trigger, step);
    // Every tone of the sweep asks for the lead-in's noise: its moments pay off early.
    whole.moments = std::make_shared<LeadInMomentCache>(LeadInMomentCache::kEagerMomentDivisor);
    if (whole.samples == nullptr) return whole;
    const std::size_t stretch = quietStretch(rate);
    storage = quietStretches(whole.samples, whole.count, stretch);
    if (storage.empty()) return whole;
    if (fitsAreThisChannel) {
        const double during = medianResidualVariance(sweep);
        if (during > 0.0 && medianStretchVariance(storage.data(), storage.size(), stretch) > kQuietLimit * during)
            return {nullptr, 0, whole.roundingVariance};
    }
    LeadInSpan quiet;
    quiet.samples = storage.data();
    quiet.count = storage.size();
    quiet.roundingVariance = whole.roundingVariance;
    quiet.moments = whole.moments;
    return quiet;
}

}  // namespace

LeadInSpan leadInBefore(const std::vector<Sample>& recording, std::int64_t trigger, double step) {
    LeadInSpan span;
    span.roundingVariance = kQuantizationVariance * step * step;
    const std::int64_t end = std::min<std::int64_t>(trigger - kLeadInMargin, static_cast<std::int64_t>(recording.size()));
    if (end <= 0) return span;
    span.samples = recording.data();
    span.count = static_cast<std::size_t>(end);
    return span;
}

namespace {

// Blocks moved to where their tones arrive (tone_arrivals.h) follow a timing
// jump as if it were a device's delay changing along the sweep, and then hold
// steady tones that hide the jump. Where blocks moved, the jump search judges
// the common placement first; a jump found there keeps every block at it.
RecordingTimeline placedTimeline(const sweep::SweepPlan& plan, ClockCorrectedSweep& sweep,
                                 const std::vector<Sample>& timing, double roundingVariance, bool searchJumps) {
    if (searchJumps && !sweep.tonesAtCommonPlace.empty()) {
        ClockCorrectedSweep common = sweep;
        common.tones = std::move(common.tonesAtCommonPlace);
        common.tonesAtCommonPlace.clear();
        common.blockLeads.clear();
        RecordingTimeline timeline = findTimeline(plan, nominalTones(plan), common, timing, roundingVariance);
        if (!timeline.jumps.empty()) {
            sweep = std::move(common);
            return timeline;
        }
    }
    const std::vector<NominalTone> nominal = withLeads(nominalTones(plan), sweep.blockLeads);
    return findTimeline(plan, nominal, sweep, timing, roundingVariance, searchJumps);
}

// `recorded`, where given, is the measurement of the recording before its
// jumps were taken out: the jump searches are not made again, and the tones
// it could not place are left unplaced here too, before they could place the
// sweep's start (those after an estimated jump lie a few samples off).
RecordingAnalysis measureRecording(const sweep::SweepPlan& plan, const RecordingChannels& channels,
                                   const SweepAnalysis* recorded = nullptr) {
    const bool searchJumps = recorded == nullptr;
    // A loopback reference carries the sweep at full level whatever the device
    // does to it: its pulses are the surer time base for both channels.
    const std::vector<Sample>& timing = channels.reference != nullptr ? *channels.reference : channels.device;
    // Repaired of an estimated jump before the other tones, the recording's
    // first pulse lies across that jump from them: they time themselves.
    const bool pulseAcrossAJump =
        recorded != nullptr && !recorded->jumps.empty() && recorded->jumps.front().beforeOtherTones;
    ClockCorrectedSweep sweep = measureWithClockCorrection(
        plan, timing, pulseAcrossAJump ? FirstPulse::Ignored : FirstPulse::MayTime);
    RecordingAnalysis result;
    result.clock = sweep.clock;
    result.pulseFound = sweep.pulseFound;
    result.corrected = sweep.corrected;
    SweepAnalysis& analysis = result.sweep;
    analysis.tonesExpected = sweep.tonesExpected;
    analysis.tonesMissing = sweep.tonesMissing;
    analysis.end = endOf(sweep, channels.device.size(), plan);
    result.located = sweep.located;
    if (!sweep.located) return result;

    // The resolution the samples really have: an 8-bit recording kept in a
    // 16-bit file rounds to steps of 256. The steadiness checks take that
    // rounding as their floor; the intervals' own rounding term stays the
    // file's, since a residual on such a grid already holds the rounding.
    const double grid = std::max(sampleGrid(channels.device, channels.step),
                                 channels.reference != nullptr ? sampleGrid(*channels.reference, channels.step) : 0.0);
    RecordingTimeline timeline = placedTimeline(plan, sweep, timing, kQuantizationVariance * grid * grid, searchJumps);
    // Each tone's block where the clock-corrected sweep took it (tone_arrivals.h).
    const std::vector<NominalTone> nominal = withLeads(nominalTones(plan), sweep.blockLeads);
    for (std::size_t i = 0; recorded != nullptr && i < timeline.timing.size(); ++i)
        timeline.timing[i].placed = timeline.timing[i].placed && placedAfterRepair(*recorded, i);
    analysis.jumps = timeline.jumps;
    analysis.clockModel = timeline.clockModel;
    const double ppm = sweep.corrected ? sweep.clock.ppm : 0.0;
    const double rate = plan.params().sampleRate;
    std::vector<Sample> deviceQuiet, referenceQuiet;
    const LeadInSpan deviceLeadIn =
        quietLeadIn(channels.device, sweep, channels.reference == nullptr, rate, channels.step, deviceQuiet);
    LeadInSpan referenceLeadIn;
    if (channels.reference != nullptr) referenceLeadIn = quietLeadIn(*channels.reference, sweep, true, rate, channels.step, referenceQuiet);
    const std::vector<Silence> deviceSilences = silencesBeforePulses(
        plan, nominal, static_cast<double>(sweep.trigger), timeline.timing, channels.device, channels.step);
    std::vector<ToneBlock> checked;
    std::vector<double> offsets;
    // Each tone's phase at the start, from its fit in the timing channel where it was measured.
    std::vector<std::optional<StartPhase>> starts;
    std::vector<BlockPlacement> places;
    const std::size_t count = sweep.tones.size();
    checked.reserve(count);
    offsets.reserve(count);
    starts.reserve(count);
    places.reserve(count);
    analysis.tones.reserve(count);
    for (std::size_t i = 0; i < sweep.tones.size(); ++i) {
        const ToneTiming& when = timeline.timing[i];
        const BlockPlacement place = placeOnTimeline(nominal[i], static_cast<double>(sweep.trigger), when);
        const BlockSamples block = blockIn(channels.device, place);
        const bool samePlace = when.shift == 0.0 && when.ppm == ppm;
        // The clock-corrected sweep fitted this very block already, in the
        // channel that gave the time base, unless a jump or a drifting clock moved it.
        std::optional<ClockCorrectedTone> refitted;
        if (!samePlace && blockIn(timing, place).samples != nullptr) refitted = fitToneAt(nominal[i], place, timing, rate);
        const ClockCorrectedTone& tone = refitted ? *refitted : sweep.tones[i];
        const double cyclesPerSample = place.frequency / rate;
        const bool timedByReference = channels.reference != nullptr;
        const std::optional<LeadInNoise> deviceNoise =
            nearestNoise(noiseAt(block, cyclesPerSample, deviceLeadIn), deviceSilences, block, place, cyclesPerSample);
        // Timed by its own pulses, the device channel is the one the tone's fit was made in.
        const HarmonicFit* deviceFit = !timedByReference && block.samples != nullptr ? &tone.fit : nullptr;
        ToneQuality quality = deviceFit != nullptr
                                  ? qualityFromFit(*deviceFit, block.count, cyclesPerSample, deviceLeadIn, deviceNoise)
                                  : qualityOf(block, cyclesPerSample, deviceLeadIn);
        addRoundingFloor(quality, kFullScale, static_cast<double>(block.count), channels.step);
        // Over a reference the sweep's own rounding is in both channels and cancels.
        if (!timedByReference)
            addPlayedRounding(quality, kFullScale, nominal[i].frequency / rate, static_cast<double>(block.count));
        // One pass over the block gives both its peak and its clipping; the
        // tone's fit made it already where it fitted this very block.
        const ClipCheck clipCheck = !timedByReference && block.samples != nullptr && fittedAt(tone, place)
                                        ? tone.clip
                                        : checkClipping(block.samples, block.count);
        bool clips = clipped(clipCheck, cyclesPerSample);
        analysis.peak = std::max(analysis.peak, static_cast<std::uint16_t>(clipCheck.peak));
        if (timedByReference) {
            const BlockSamples reference = blockIn(*channels.reference, place);
            ToneQuality referenceQuality =
                reference.samples != nullptr
                    ? qualityFromFit(tone.fit, reference.count, cyclesPerSample, referenceLeadIn)
                    : qualityOf(reference, cyclesPerSample, referenceLeadIn);
            addRoundingFloor(referenceQuality, kFullScale, static_cast<double>(block.count), channels.step);
            // Both channels sit on the same time base: its error cancels in their ratio.
            divideByReference(quality, referenceQuality);
            clips = clips || clipped(reference, cyclesPerSample);
        }
        starts.push_back(tonePhase(tone, static_cast<double>(sweep.trigger), rate));
        places.push_back(place);
        ToneMeasurement measured = measuredTone(tone, quality);
        measured.clipped = clips;
        analysis.tones.push_back(std::move(measured));
        // The check takes the tone's fit where it was made of this very block.
        const HarmonicFit* checkedFit = deviceFit != nullptr && fittedAt(tone, place) ? deviceFit : nullptr;
        // The halves the timeline kept, else the sweep's own fit's (either taken only if they are this block's).
        const HalvesFit* halves = i < timeline.halves.size() ? &timeline.halves[i] : &sweep.tones[i].halves;
        checked.push_back(checkedBlock(nominal[i], place, channels.device, deviceLeadIn, deviceNoise, sweep, rate, grid,
                                       checkedFit, halves));
        offsets.push_back(static_cast<double>(nominal[i].blockOffset));
    }
    const TimeBaseUncertainty timeBase = sweepTimeBase(plan, sweep, timing, channels.step);
    applyChecks(checkSteadiness(checked), timeline.timing, analysis.tones);
    // Tones rounded without dither carry an error that is no noise: flagged
    // first, they take no part in placing the start.
    boundCoarseRounding(grid, channels.step, analysis.tones);
    referToOrigin(sweep, starts, places, timeBase, channels.reference != nullptr, rate, result);
    if (timeline.clockModel && timeline.clockModel->drifting)
        addDriftUncertainty(*timeline.clockModel, offsets, rate, analysis.tones);
    unwrapAlongSweep(analysis.tones);
    analysis.reportRows = std::min<std::size_t>(analysis.tones.size(), plan.toneCount());
    return result;
}

RecordingChannels channelsWithoutJumps(const RecordingChannels& channels, const std::vector<TimingJump>& jumps,
                                       std::vector<Sample>& device, std::vector<Sample>& reference) {
    device = withoutJumps(channels.device, jumps);
    if (channels.reference != nullptr) reference = withoutJumps(*channels.reference, jumps);
    return {device, channels.reference != nullptr ? &reference : nullptr, channels.step};
}

// The jumps found to the sample (from a pulse or the phases) taken out first,
// the recording is searched again: a jump whose size the tones only estimate,
// found before the exact ones were taken out, may be nothing but the blocks
// an exact one moved into their neighbours. What the second search finds is
// carried back to the recording as recorded.
SweepAnalysis searchedAgain(const sweep::SweepPlan& plan, const RecordingChannels& channels, SweepAnalysis recorded) {
    std::vector<TimingJump> exact;
    for (const TimingJump& jump : recorded.jumps) {
        if (jump.exact) exact.push_back(jump);
    }
    if (exact.empty() || exact.size() == recorded.jumps.size()) return recorded;
    std::vector<Sample> device, reference;
    SweepAnalysis again =
        measureRecording(plan, channelsWithoutJumps(channels, exact, device, reference)).sweep;
    // Mapped back: past each exact jump the repaired recording lies its size behind the recorded one.
    for (TimingJump& jump : again.jumps) {
        double moved = 0.0;
        for (const TimingJump& taken : exact) moved += taken.sample <= jump.sample ? taken.samples : 0.0;
        jump.sample += static_cast<std::int64_t>(std::llround(moved));
        jump.seconds += moved / plan.params().sampleRate;
    }
    again.jumps.insert(again.jumps.end(), exact.begin(), exact.end());
    std::sort(again.jumps.begin(), again.jumps.end(),
              [](const TimingJump& a, const TimingJump& b) { return a.sample < b.sample; });
    return again;
}

}  // namespace

// Where the timing jumped, the recording is measured again with the jumps
// taken out (jump_repair.h): its tones then agree on one clock again, and
// every tone after a jump is measured on its new time base.
RecordingAnalysis analyzeRecording(const sweep::SweepPlan& plan, const RecordingChannels& channels) {
    RecordingAnalysis recorded = measureRecording(plan, channels);
    if (recorded.sweep.jumps.empty()) return recorded;
    const SweepAnalysis found = searchedAgain(plan, channels, recorded.sweep);
    std::vector<Sample> device, reference;
    RecordingAnalysis repaired =
        measureRecording(plan, channelsWithoutJumps(channels, found.jumps, device, reference), &found);
    carryJumps(found, repaired.sweep);
    // Where every tone lies after the jump, the sweep's start is where they
    // lie in the recording as recorded: the repaired recording's start moved
    // back by the size taken out, whose error moved the tones alike.
    if (!found.jumps.empty() && found.jumps.front().beforeOtherTones)
        repaired.delaySamples += found.jumps.front().samples;
    return repaired;
}

void addToneQuality(const sweep::SweepPlan& plan, const std::vector<Sample>& recording, SweepAnalysis& analysis) {
    const auto trigger = findFirstTrigger(plan, recording);
    if (!trigger) return;
    const std::vector<NominalTone> nominal = nominalTones(plan);
    const LeadInSpan leadIn = leadInBefore(recording, *trigger);
    const double rate = plan.params().sampleRate;
    for (ToneMeasurement& tone : analysis.tones) {
        if (tone.index >= nominal.size()) continue;
        const BlockPlacement place = placeBlock(nominal[tone.index], static_cast<double>(*trigger), 0.0);
        const BlockSamples block = blockIn(recording, place);
        if (block.samples == nullptr) continue;
        tone.quality = qualityOf(block, place.frequency / rate, leadIn);
        tone.clipped = clipped(block, place.frequency / rate);
        addRoundingFloor(*tone.quality, kFullScale, static_cast<double>(block.count), 1.0);
        addPlayedRounding(*tone.quality, kFullScale, nominal[tone.index].frequency / rate,
                          static_cast<double>(block.count));
        addWalkBias(tone);
    }
    addWalkTimeBase(plan, nominal, recording, *trigger, analysis);
}

}  // namespace auralyn::analysis
