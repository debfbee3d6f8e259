#include "analysis/time_origin.h"

#include <algorithm>
#include <cmath>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/fit_uncertainty.h"
#include "analysis/recording_analysis.h"
#ifdef AURALYN_HAVE_SWEEP_LOCATOR
#include "analysis/sweep_locator.h"
#endif
#include "analysis/sweep_origin.h"
#include "analysis/time_base_budget.h"

namespace auralyn::analysis {
namespace {

// The stretches place the start to tens of samples, too coarsely for blocks
// that must hold one tone each. A first walk with every block's ends kept
// clear of that doubt gives the clock; the tones fitted there put the start
// to a fraction of a sample (sweep_origin.h). Returns the start and its
// standard uncertainty, or the stretches' where the tones cannot tell.
struct RefinedStart {
    double start = 0.0;
    double sigma = 0.0;
    double coherence = 0.0;  // how well the tones line up there (sweep_origin.h)
    bool coarse = false;     // the stretches' start, kept: the rough ratio could not place the tones
};

// A ratio read only from short late blocks with wide margins (a tweeter's
// high-pass at a microphone's level leaves no early tone clear of the noise)
// may place the last tones further off than the stretches doubt the start:
// their phases would pull the start by as much, and the fit shows no sign of
// it (its own sigma assumes the ratio right). The stretches' start is kept
// then, and the walk from it reads the ratio from those blocks in full.
bool roughRatioMisplacesLastTones(const clock::ClockFigure& rough, const std::vector<NominalTone>& tones,
                                  const TimeOrigin& origin) {
    if (rough.verdict != clock::ClockVerdict::Measured || tones.empty()) return false;
    const double lastOffset = static_cast<double>(tones.back().blockOffset);
    return rough.u95 * 1e-6 * lastOffset > kNormal95 * origin.startSigma;
}

RefinedStart refineStart(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                         const std::vector<Sample>& recording, const TimeOrigin& origin, std::int64_t seed) {
    const double doubt = kPulseAgreementSigmas * origin.startSigma + kPulseAgreementSamples;
    const ClockWalk rough =
        walkClock(plan, tones, recording, seed, {false, doubt, noiseBefore(recording, seed), origin.clock});
    const double ppm = rough.figure.verdict == clock::ClockVerdict::Measured ? rough.figure.ppm : 0.0;
    if (roughRatioMisplacesLastTones(rough.figure, tones, origin)) return {origin.start, origin.startSigma, 0.0, true};
    const double rate = plan.params().sampleRate;
    std::vector<ClockCorrectedTone> fitted;
    fitted.reserve(tones.size());
    for (const NominalTone& tone : tones) {
        const BlockPlacement block = placeBlock(tone, static_cast<double>(seed), ppm);
        if (block.first + block.count > static_cast<std::int64_t>(recording.size())) break;
        fitted.push_back(phaseFitAt(tone, block, recording, rate));
    }
    const double trigger = static_cast<double>(seed);
    const OriginShift shift = originShift(tonePhases(fitted, trigger, rate), std::max(kOriginReach, doubt));
    if (!shift.valid) return {origin.start, origin.startSigma, 0.0, false};
    return {trigger + shift.shift, shift.sigma, shift.coherence, false};
}

}  // namespace

double noiseBefore(const std::vector<Sample>& recording, std::int64_t trigger) {
    constexpr std::int64_t kMinSamples = 1024;
    const std::int64_t end = std::min<std::int64_t>(trigger - kLeadInMargin, static_cast<std::int64_t>(recording.size()));
    if (end < kMinSamples) return 0.0;
    const double sd = robustNoiseSd(recording.data(), static_cast<std::size_t>(end));
    return sd * sd;
}

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
TimeOrigin findOrigin(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                      std::optional<std::int64_t> pulse) {
    const std::optional<double> hint =
        pulse ? std::optional<double>(static_cast<double>(*pulse)) : std::nullopt;
    const SweepLocation location = locateSweep(sweepTemplate(plan), RecordingView::of(recording), hint);
    TimeOrigin origin;
    origin.margin = location.margin;
    // The stretches may all miss where the sweep's tones are long and the
    // clock far off; a pulse found is then the origin, as for echoprobe, and
    // the tones' clock figure still refuses a recording of something else.
    if (!location.found) return pulse ? TimeOrigin{true, *pulse, true, location.margin, 0.0, 0.0, {}} : origin;
    origin.found = true;
    origin.start = location.start;
    origin.startSigma = location.startSigma;
    origin.clock = ClockPrior{location.ppm, location.ppmSigma};
    origin.trigger = std::llround(location.start);
    return origin;
}
#else
// Without the correlator (a build without FFTW) the first pulse alone places the sweep.
TimeOrigin findOrigin(const sweep::SweepPlan&, const std::vector<Sample>&, std::optional<std::int64_t> pulse) {
    if (!pulse) return {};
    return {true, *pulse, true, 0.0, 0.0, 0.0, {}};
}
#endif


// The pulse times the tones where it lies where the stretches put the start
// (a device that smears or delays it puts its trigger elsewhere). Where the
// two disagree, the start is refined from each, and the one at which the
// tones line up better wins (the stretches may be misled where the
// recording's tones differ from the sweep's between their blocks); the pulse
// is kept where it lies near that start.
void chooseTrigger(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                   const std::vector<Sample>& recording, std::optional<std::int64_t> pulse, TimeOrigin& origin) {
    const double agreement = kPulseAgreementSigmas * origin.startSigma + kPulseAgreementSamples;
    origin.byPulse = pulse && std::fabs(static_cast<double>(*pulse) - origin.start) <= agreement;
    if (origin.byPulse) {
        origin.trigger = *pulse;
        return;
    }
    RefinedStart best = refineStart(plan, tones, recording, origin, std::llround(origin.start));
    if (pulse) {
        const RefinedStart fromPulse = refineStart(plan, tones, recording, origin, *pulse);
        if (fromPulse.coherence > best.coherence) best = fromPulse;
        origin.byPulse = std::fabs(static_cast<double>(*pulse) - best.start) <= agreement;
    }
    origin.trigger = origin.byPulse ? *pulse : std::llround(best.start);
    origin.stretchesStart = !origin.byPulse && best.coarse;
}

}  // namespace auralyn::analysis
