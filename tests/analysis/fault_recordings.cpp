#include "fault_recordings.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/recording_pulse.h"
#include "analysis/tone_layout.h"
#include "drifted_sweep.h"
#include "sample_vectors.h"

namespace auralyn::test {

std::vector<std::int16_t> rounded(const std::vector<double>& signal) {
    std::vector<std::int16_t> out(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(std::lround(signal[i]), -32768L, 32767L));
    return out;
}

std::vector<std::int16_t> noisySweep(const sweep::SweepPlan& plan, double gain, double noise, std::mt19937& random) {
    const auto count = static_cast<std::size_t>(playedSweepLength(plan)) + 4800;
    std::vector<double> signal = synthesiseMappedSweep(plan, [](double k) { return k; }, count, gain);
    std::normal_distribution<double> gauss(0.0, noise);
    if (noise > 0.0) {
        for (double& x : signal) x += gauss(random);
    }
    return rounded(signal);
}

void addDuringTone(const sweep::SweepPlan& plan, std::vector<std::int16_t>& recording, std::size_t tone,
                   const std::function<double(std::int32_t, std::int32_t)>& added) {
    const std::int64_t at = blockStartOf(plan, recording, tone);
    const std::int32_t length = blockLengthOf(plan, tone);
    for (std::int32_t n = 0; n < length; ++n) {
        std::int16_t& sample = recording[static_cast<std::size_t>(at + n)];
        sample = static_cast<std::int16_t>(sample + std::lround(added(n, length)));
    }
}

std::int64_t blockStartOf(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording, std::size_t tone) {
    const auto trigger = analysis::findFirstTrigger(plan, asSamples(recording));
    if (!trigger) return -1;
    return analysis::placeBlock(analysis::nominalTones(plan).at(tone), static_cast<double>(*trigger), 0.0).first;
}

std::int32_t blockLengthOf(const sweep::SweepPlan& plan, std::size_t tone) {
    return analysis::nominalTones(plan).at(tone).length;
}

analysis::RecordingAnalysis analyzed(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording) {
    const std::vector<analysis::Sample> samples = asSamples(recording);
    return analysis::analyzeRecording(plan, {samples, nullptr});
}

std::vector<std::int16_t> withJump(std::vector<std::int16_t> recording, std::int64_t at, int samples) {
    if (samples > 0) recording.insert(recording.begin() + at, static_cast<std::size_t>(samples), std::int16_t{0});
    if (samples < 0) recording.erase(recording.begin() + at, recording.begin() + at - samples);
    return recording;
}

TruthCoverage truthCoverage(const analysis::RecordingAnalysis& a, std::size_t from, double gain, double sampleRate) {
    constexpr double kClockSlackSamples = 0.01;
    const double truthDb = 20.0 * std::log10(gain);
    TruthCoverage c;
    for (std::size_t i = from; i < a.sweep.tones.size(); ++i) {
        const analysis::ToneMeasurement& t = a.sweep.tones[i];
        if (!t.placed) ++c.unplaced;
        if (!t.placed || !t.steadiness->steady || !t.quality->levelDbfs) continue;
        ++c.measured;
        c.magnitudeInside += std::fabs(*t.quality->levelDbfs - truthDb) <= t.quality->magnitudeU95Db ? 1 : 0;
        const double phaseDegrees = std::remainder(t.phase * 180.0 / std::numbers::pi, 360.0);
        const double slack = 360.0 * t.frequency * kClockSlackSamples / sampleRate;
        c.phaseInside += std::fabs(phaseDegrees) <= t.quality->phaseU95Deg + slack ? 1 : 0;
    }
    return c;
}

std::size_t countFlag(const analysis::RecordingAnalysis& a, analysis::ToneFlag flag) {
    return static_cast<std::size_t>(std::count_if(a.sweep.tones.begin(), a.sweep.tones.end(), [flag](const auto& t) {
        return t.steadiness && t.steadiness->flag == flag;
    }));
}

std::size_t countUnsteady(const analysis::RecordingAnalysis& a) {
    return static_cast<std::size_t>(std::count_if(a.sweep.tones.begin(), a.sweep.tones.end(), [](const auto& t) {
        return t.steadiness && !t.steadiness->steady;
    }));
}

}  // namespace auralyn::test
