#include "measurer/clock_warning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "clock/tone_frequency.h"
#include "sweep/sweep_layout.h"

namespace auralyn::measurer {
namespace {

constexpr double kMinDriftDegrees = 1.0;
// On a recording made on one clock, clipped tones, noise and a resonant device
// can bias the figure by a tenth of a ppm or so beyond its stated uncertainty;
// a figure must clear this much more before it is called a second clock.
constexpr double kSystematicPpm = 0.5;

struct Stretch {
    double samples = 0;    // from a pulse's first sample to the end of the last block it positions
    double frequency = 0;  // the highest tone of the sweep
};

Stretch longestStretch(sweep::SweepPlan plan) {
    const sweep::SweepParameters& p = plan.params();
    const std::uint32_t count = plan.toneCount();
    Stretch longest;
    std::int64_t sincePulse = 0;
    plan.rewind();
    do {
        if (p.toneIndex >= count) break;
        if (plan.isSyncTone()) sincePulse = sweep::syncPulseSamples(p);
        sincePulse += plan.settlingSamples() + std::max(p.toneLength, 0);
        longest.samples = std::max(longest.samples, static_cast<double>(sincePulse));
        longest.frequency = std::max(longest.frequency, p.toneFrequency);
        sincePulse += plan.driftSamples();
    } while (plan.nextTone());
    return longest;
}

}  // namespace

namespace {

void observe(ClockWatch& watch, const ToneBlock& block, const clock::FrequencyEstimate& estimate) {
    ++watch.offered;
    if (!estimate.valid) return;
    watch.observations.push_back(
        clock::observationFromTone(block.frequency, estimate.frequency, estimate.standardError));
}

}  // namespace

void watchBlock(ClockWatch& watch, const ToneBlock& block, double sampleRate) {
    observe(watch, block, clock::estimateFrequency(block.samples, block.length, block.frequency, sampleRate));
}

void watchBlock(ClockWatch& watch, const ToneBlock& block, double sampleRate, const clock::HalvesSums& atStart) {
    observe(watch, block, clock::estimateFrequency(block.samples, block.length, block.frequency, sampleRate, atStart));
}

double worstPhaseDrift(const sweep::SweepPlan& plan, double ppm) {
    const Stretch stretch = longestStretch(plan);
    return -360.0 * stretch.frequency * stretch.samples / plan.params().sampleRate * ppm * 1e-6;
}

void printClockWarning(const ClockWatch& watch, const sweep::SweepPlan& plan) {
    const clock::ClockFigure figure = clock::combineObservations(watch.observations, watch.offered);
    if (figure.verdict == clock::ClockVerdict::Disagree) return;
    if (!(std::fabs(figure.ppm) > figure.u95 + kSystematicPpm)) return;
    const double drift = worstPhaseDrift(plan, figure.ppm);
    if (!(std::fabs(drift) > kMinDriftDegrees)) return;
    std::printf("\nWarning: the recorder's clock runs %+.1f ppm against the sweep's: phases drift by up to %+.0f"
                " degrees between sync pulses; `auralyn analyze` corrects it.",
                figure.ppm, drift);
}

}  // namespace auralyn::measurer
