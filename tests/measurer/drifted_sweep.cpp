#include "drifted_sweep.h"

#include <cmath>

#include "sweep/sweep_layout.h"

namespace auralyn::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// A stretch of the played sweep: a constant level, or a full-scale sine with
// its phase at the stretch's first sample.
struct Stretch {
    double start = 0;  // played samples
    double end = 0;
    double level = 0;
    double omega = 0;  // radians per played sample; 0 for a level
    double phase = 0;
};

std::vector<Stretch> playedStretches(sweep::SweepPlan plan, double& length) {
    const sweep::SweepParameters& p = plan.params();
    std::vector<Stretch> stretches;
    double at = 0;
    auto level = [&](std::int32_t count, double value) {
        stretches.push_back({at, at + count, value, 0, 0});
        at += count;
    };
    plan.rewind();
    level(sweep::generatorLeadInSamples(p), 0);
    do {
        if (plan.isSyncTone()) {
            level(sweep::syncSettlingSamples(p) + sweep::syncDriftSamples(p), 0);
            level(sweep::syncPulseSamples(p), sweep::percentToAmplitude(p.syncPulseLevel));
        }
        const std::int32_t lead = plan.settlingSamples();
        const std::int32_t count = lead + p.toneLength + plan.driftSamples();
        stretches.push_back({at, at + count, 0, kTwoPi * p.toneFrequency / p.sampleRate, plan.phaseAtSample(-lead)});
        at += count;
    } while (plan.nextTone());
    length = at;
    return stretches;
}

std::int16_t quantised(double value) { return static_cast<std::int16_t>(std::lround(value)); }

}  // namespace

std::vector<double> synthesiseMappedSweep(sweep::SweepPlan plan, const std::function<double(double)>& playedTime,
                                          std::size_t count, double gain) {
    double played = 0;
    const std::vector<Stretch> stretches = playedStretches(plan, played);
    std::vector<double> samples(count, 0.0);
    std::size_t s = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double t = playedTime(static_cast<double>(k));
        while (s > 0 && t < stretches[s].start) --s;
        while (s < stretches.size() && t >= stretches[s].end) ++s;
        if (s == stretches.size()) break;
        const Stretch& x = stretches[s];
        samples[k] = gain * (x.omega == 0 ? x.level : 32767.0 * std::sin(x.phase + x.omega * (t - x.start)));
    }
    return samples;
}

double playedSweepLength(sweep::SweepPlan plan) {
    double played = 0;
    playedStretches(plan, played);
    return played;
}

std::vector<std::int16_t> synthesiseDriftedSweep(sweep::SweepPlan plan, double ppm) {
    const double ratio = 1.0 + ppm * 1e-6;
    const auto count = static_cast<std::size_t>(std::llround(playedSweepLength(plan) * ratio));
    const std::vector<double> signal = synthesiseMappedSweep(plan, [ratio](double k) { return k / ratio; }, count);
    std::vector<std::int16_t> samples(count);
    for (std::size_t k = 0; k < count; ++k) samples[k] = quantised(signal[k]);
    return samples;
}

}  // namespace auralyn::test
