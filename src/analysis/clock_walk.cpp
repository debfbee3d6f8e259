#include "analysis/clock_walk.h"

#include <algorithm>
#include <cmath>

#include "analysis/method_bias.h"
#include "analysis/recording_pulse.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

using clock::ClockObservation;
using clock::FrequencyEstimate;
using clock::RunningClock;

// What the clock may be before any tone has been measured: twice the range
// that is used, so that a ratio beyond it is still found and reported.
constexpr double kPriorPpm = 2.0 * clock::kMaxClockPpm;
// The running ratio is trusted to this many of its standard uncertainties,
// and never closer than this (ppm).
constexpr double kTrustSigmas = 5.0;
constexpr double kTrustFloorPpm = 0.05;
constexpr std::int32_t kMinEstimateSamples = 16;
// A tone counts when its block as a whole stands clear of the noise: each
// half's phase then known to 0.1 radian (A^2 n / 4 sigma^2 of 100, the
// variance of a half's phase being 2 sigma^2 / (A^2 n / 2)). Noise alone
// reaches it once in e^50 blocks. The per-sample criterion of the frequency
// estimate (10 dB) would leave out a quiet microphone's tones, which the
// matched filter found.
constexpr double kMinBlockSignalToNoise = 100.0;

struct Progress {
    RunningClock running;
    std::vector<ClockObservation> observations;
    std::uint32_t offered = 0;
    // Before the first tone: anything within kPriorPpm of 0, or a prior's
    // ratio to what it may be wrong by.
    std::optional<ClockPrior> prior;

    double ppm() const {
        if (running.count == 0) return prior ? prior->ppm : 0.0;
        return running.ppm();
    }
    double doubt() const {
        if (running.count == 0) return prior ? trusted(prior->sigma) : kPriorPpm;
        return trusted(running.standardUncertainty());
    }
    static double trusted(double sigma) { return std::min(kPriorPpm, kTrustSigmas * sigma + kTrustFloorPpm); }
    // Every valid observation counts in the end, unless `inFigure` says
    // otherwise; only those that agree with the ratio so far steer the walk.
    void take(const ClockObservation& o, bool inFigure = true) {
        if (inFigure) observations.push_back(o);
        // The first tone to steer must know the ratio better than the range
        // it is sought in: a tone barely clear of the noise (on a high-pass's
        // slope) reads it to thousands of ppm, and would move every later
        // block by as much and keep their margins at the widest.
        if (running.count == 0 && kTrustSigmas * o.standardError > doubt()) return;
        const double window = running.count == 0 && !prior ? kPriorPpm
                                                            : kTrustSigmas * std::hypot(o.standardError, doubt());
        if (std::fabs(o.ppm - ppm()) <= window) running.add(o);
    }
};

// Samples at each end of a block that may lie outside the tone while the
// ratio is uncertain by `doubt` ppm.
std::int32_t margin(std::int64_t offset, double doubt) {
    return static_cast<std::int32_t>(std::ceil(static_cast<double>(offset) * doubt * 1e-6)) + 1;
}

FrequencyEstimate estimateTone(const NominalTone& tone, const BlockPlacement& block,
                               const std::vector<Sample>& recording, double doubt, double originDoubt, double rate) {
    const std::int32_t edge = margin(tone.blockOffset, doubt) + static_cast<std::int32_t>(std::ceil(originDoubt));
    const std::int32_t count = block.count - 2 * edge;
    if (count < kMinEstimateSamples) return {};
    FrequencyEstimate estimate = clock::estimateFrequency(recording.data() + block.first + edge, count, block.frequency, rate);
    const double blockSignalToNoise = 0.5 * estimate.signalToNoise * static_cast<double>(count);
    if (std::isfinite(estimate.standardError) && blockSignalToNoise >= kMinBlockSignalToNoise) estimate.valid = true;
    return estimate;
}

// A later pulse, searched within the silence before it around where the
// running ratio puts it.
void measurePulse(const sweep::SweepPlan& plan, const NominalTone& tone, const std::vector<Sample>& recording,
                  std::int64_t trigger, Progress& progress, std::uint32_t& found) {
    const double predicted = static_cast<double>(trigger) + tone.pulseOffset * (1.0 + progress.ppm() * 1e-6);
    const std::int64_t window = margin(tone.pulseOffset, progress.doubt()) + 1;
    if (window > sweep::syncSettlingSamples(plan.params()) / 2) return;
    const auto centre = static_cast<std::int64_t>(std::floor(predicted));
    ++progress.offered;
    const auto pulse = findTrigger(plan, recording, centre - window, centre + window + 1);
    if (!pulse) return;
    ++found;
    progress.take(clock::observationFromPulses(static_cast<double>(tone.pulseOffset),
                                               static_cast<double>(*pulse - trigger)));
}

// What is left once the estimate's tone is taken out, per sample, against
// the noise: within kBelowNoiseFactor of it, the block held nothing else.
constexpr double kBelowNoiseFactor = 2.0;

bool belowNoise(const FrequencyEstimate& estimate, double noiseVariance) {
    if (!(noiseVariance > 0.0) || !(estimate.signalToNoise > 0.0)) return false;
    const double residual = 0.5 * estimate.amplitude * estimate.amplitude / estimate.signalToNoise;
    return residual <= kBelowNoiseFactor * noiseVariance;
}

// A tone's reading of the ratio. Its error comes from the block's residual
// (tone_frequency.h), which holds the recording's noise and both roundings:
// where noise of half a step or more dithers them, they scatter the frequency
// as noise of the residual's level does, and a floor on every tone would be
// counted as if independent from tone to tone while the tones show no such
// scatter (on a 40-second sweep it made the clock's interval five times the
// error it has). Only where the residual is too small to dither the rounding,
// which may then line up with the tone, is the floor kept.
ClockObservation toneObservation(const NominalTone& tone, const FrequencyEstimate& estimate) {
    ClockObservation o = clock::observationFromTone(tone.frequency, estimate.frequency, estimate.standardError);
    const double residualRms =
        estimate.signalToNoise > 0.0 ? estimate.amplitude / std::sqrt(2.0 * estimate.signalToNoise) : 0.0;
    // 16-bit steps: a finer recording only keeps the floor where it need not.
    if (!dithered(residualRms, 1.0)) o.standardError = std::hypot(o.standardError, clock::kToneFloorPpm);
    return o;
}

// A block whose one half holds ten times the other's residual per sample
// holds something besides its tone and steady noise, nine times the noise's
// power at least: the end of a neighbouring tone where it is placed off its
// own (from a start or clock that is off), a gap, a transient. Such a tone's
// frequency is biased by about as much as the error its residual states, and
// the tones a misplacement moves are biased the same way: a common error
// that their scatter does not show and that no interval made from it covers.
// They still steer the walk and their frequencies are reported, but they take
// no part in the figure. Noise whose level changes along the recording (a
// rumble rising, a room's tail) moves the halves' residuals far less.
constexpr double kMaxHalvesResidualRatio = 10.0;

bool holdsOneSteadyTone(const FrequencyEstimate& estimate) {
    return estimate.halvesResidualRatio <= kMaxHalvesResidualRatio;
}

bool holds(const BlockPlacement& block, const std::vector<Sample>& recording) {
    return block.first + block.count <= static_cast<std::int64_t>(recording.size());
}

ClockWalk walkFrom(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                   const std::vector<Sample>& recording, std::int64_t trigger, const WalkOptions& options,
                   Progress progress) {
    const double rate = plan.params().sampleRate;
    ClockWalk walk;
    for (const NominalTone& tone : tones) {
        if (options.usePulses && tone.syncBefore && tone.index != 0) measurePulse(plan, tone, recording, trigger, progress, walk.pulsesFound);
        const BlockPlacement block = placeBlock(tone, static_cast<double>(trigger), progress.ppm());
        if (!holds(block, recording)) break;
        // A recording started late holds nothing of the sweep's first tones.
        if (block.first < 0) {
            walk.estimates.emplace_back();
            continue;
        }
        const FrequencyEstimate estimate = estimateTone(tone, block, recording, progress.doubt(), options.originDoubt, rate);
        walk.estimates.push_back(estimate);
        if (!estimate.valid && belowNoise(estimate, options.noiseVariance)) continue;
        ++progress.offered;
        if (estimate.valid) progress.take(toneObservation(tone, estimate), holdsOneSteadyTone(estimate));
    }
    walk.figure =
        clock::combineObservations(progress.observations, progress.offered, 0.0, clock::FigureSpread::Deviations);
    return walk;
}

}  // namespace

ClockWalk walkClock(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                    const std::vector<Sample>& recording, std::int64_t trigger, const WalkOptions& options) {
    ClockWalk walk = walkFrom(plan, tones, recording, trigger, options, Progress{});
    if (walk.figure.verdict != clock::ClockVerdict::Disagree || !options.prior) return walk;
    Progress fromPrior;
    fromPrior.prior = options.prior;
    ClockWalk again = walkFrom(plan, tones, recording, trigger, options, fromPrior);
    return again.figure.verdict == clock::ClockVerdict::Disagree ? walk : again;
}

}  // namespace auralyn::analysis
