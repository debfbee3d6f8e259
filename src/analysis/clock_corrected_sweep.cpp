#include "analysis/clock_corrected_sweep.h"

#include <limits>

#include <algorithm>
#include <cmath>

#include "analysis/clock_walk.h"
#include "analysis/recording_pulse.h"
#include "analysis/sweep_locator.h"
#include "analysis/sweep_origin.h"
#include "analysis/tone_fit.h"
#include "analysis/tone_layout.h"

namespace auralyn::analysis {
namespace {

double measuredFrequency(const ClockWalk& walk, std::size_t position) {
    if (position < walk.estimates.size() && walk.estimates[position].valid) return walk.estimates[position].frequency;
    return std::numeric_limits<double>::quiet_NaN();
}

ClockCorrectedTone measureTone(const NominalTone& tone, const BlockPlacement& block,
                               const std::vector<std::int16_t>& recording, double rate) {
    // A block before the recording's first sample (recorded too late) holds nothing.
    const ToneFit fit = block.first >= 0 ? fitToneAt(recording, block, rate) : ToneFit{};
    ClockCorrectedTone result;
    result.index = tone.index;
    result.nominalFrequency = tone.frequency;
    result.amplitude = fit.amplitude;
    result.phase = fit.phase;
    result.blockStart = block.start;
    result.blockLength = block.length;
    result.fittedFrequency = block.frequency;
    return result;
}

// The noise of the recording before the sweep, per sample: its variance over
// up to a second ending well before the first pulse (0 where too little
// precedes it to tell).
double noiseBefore(const std::vector<std::int16_t>& recording, double origin, double rate) {
    constexpr std::int64_t kMargin = 1024, kMinSamples = 1024;
    const auto end = std::min<std::int64_t>(static_cast<std::int64_t>(origin) - kMargin,
                                            static_cast<std::int64_t>(recording.size()));
    const std::int64_t begin = std::max<std::int64_t>(0, end - static_cast<std::int64_t>(rate));
    if (end - begin < kMinSamples) return 0.0;
    double sum = 0.0, squares = 0.0;
    for (std::int64_t i = begin; i < end; ++i) {
        const double v = recording[static_cast<std::size_t>(i)];
        sum += v;
        squares += v * v;
    }
    const double n = static_cast<double>(end - begin);
    return std::max(squares / n - (sum / n) * (sum / n), 1.0 / 12.0);
}

// Moves the origin to where the tones' phases put the sweep's start (sweep_origin.h).
void refineOrigin(const std::vector<NominalTone>& tones, const std::vector<std::int16_t>& recording, double ppm,
                  double reach, double rate, ClockCorrectedSweep& sweep) {
    const std::vector<analysis::TonePhase> phases =
        analysis::quickTonePhases(tones, recording, sweep.origin, ppm, reach, rate);
    const analysis::OriginShift shift = analysis::originShift(phases, reach);
    if (!shift.valid) return;
    sweep.origin += shift.shift;
    sweep.originSigma = shift.sigma;
}

// Samples a block may lie off its place: four standard uncertainties of the
// origin, and of the clock over the sweep's length.
double placeDoubt(double originSigma, double ppmSigma, const std::vector<NominalTone>& tones) {
    const double length = tones.empty() ? 0.0 : static_cast<double>(tones.back().blockOffset);
    return 4.0 * (originSigma + ppmSigma * 1e-6 * length) + 2.0;
}

// Up to kQuickTones tones spread evenly over the sweep, for a first clock figure.
std::vector<NominalTone> someTones(const std::vector<NominalTone>& tones) {
    constexpr std::size_t kQuickTones = 128;
    const std::size_t stride = std::max<std::size_t>(1, tones.size() / kQuickTones);
    std::vector<NominalTone> some;
    for (std::size_t i = 0; i < tones.size(); i += stride) some.push_back(tones[i]);
    return some;
}

}  // namespace

ClockCorrectedSweep measureWithClockCorrection(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording) {
    const std::vector<NominalTone> tones = nominalTones(plan);
    ClockCorrectedSweep sweep;
    sweep.tonesExpected = static_cast<std::uint32_t>(tones.size());
    sweep.tonesMissing = sweep.tonesExpected;
    const auto trigger = findFirstTrigger(plan, recording);
    sweep.pulseFound = trigger.has_value();
    if (trigger) sweep.trigger = *trigger;
    const analysis::SweepLocation location =
        analysis::locateSweep(analysis::sweepTemplate(plan), analysis::RecordingView::of(recording),
                              trigger ? std::optional<double>(static_cast<double>(*trigger)) : std::nullopt);
    sweep.locatorMargin = location.margin;
    if (!location.found) return sweep;
    sweep.located = true;
    sweep.locatedAtPulse = location.fromHint;
    sweep.origin = location.start;
    sweep.originSigma = location.startSigma;
    const double rate = plan.params().sampleRate;
    // The stretches place the start to tens of samples: a quick clock walk
    // over some tones, its blocks kept clear of that doubt, gives the ratio
    // at which the tones' phases place the start to a fraction of a sample;
    // then the walk over every tone, and the phases once more.
    const double noise = noiseBefore(recording, sweep.origin, rate);
    const double coarseDoubt = placeDoubt(location.startSigma, 0.0, tones);
    const ClockWalk quick = walkClock(plan, someTones(tones), recording, {sweep.origin, coarseDoubt, trigger, noise});
    const double quickPpm = quick.figure.verdict == clock::ClockVerdict::Measured ? quick.figure.ppm : location.ppm;
    refineOrigin(tones, recording, quickPpm, coarseDoubt, rate, sweep);
    refineOrigin(tones, recording, quickPpm, placeDoubt(sweep.originSigma, 0.0, tones), rate, sweep);
    const ClockWalk walk = walkClock(plan, tones, recording,
                                     {sweep.origin, placeDoubt(sweep.originSigma, 0.0, tones), trigger, noise});
    sweep.clock = walk.figure;
    sweep.pulsesFound = walk.pulsesFound;
    sweep.belowNoise = walk.belowNoise;
    sweep.corrected = walk.figure.verdict == clock::ClockVerdict::Measured;
    const double ppm = sweep.corrected ? walk.figure.ppm : 0.0;
    refineOrigin(tones, recording, ppm, placeDoubt(sweep.originSigma, 0.0, tones), rate, sweep);
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const BlockPlacement block = placeBlock(tones[i], sweep.origin, ppm);
        if (block.first + block.count > static_cast<std::int64_t>(recording.size())) break;
        ClockCorrectedTone tone = measureTone(tones[i], block, recording, rate);
        tone.measuredFrequency = measuredFrequency(walk, i);
        sweep.tones.push_back(tone);
    }
    sweep.tonesMissing = sweep.tonesExpected - static_cast<std::uint32_t>(sweep.tones.size());
    return sweep;
}

}  // namespace auralyn::analysis
