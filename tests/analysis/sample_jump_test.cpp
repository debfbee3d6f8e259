// A recorder that drops or repeats a single sample between two tones: no
// tone is cut and no sync pulse is needed to see it, but every later phase
// turns by 360 f / R. Recordings made here in closed form (not by the kit's
// generator or simulator); the truth of every tone is known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis/phase_steps.h"
#include "analysis/recording_analysis.h"
#include "clock_test_recordings.h"
#include "fault_recordings.h"
#include "independent_recording.h"
#include "sample_vectors.h"

namespace auralyn {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kRate = 48000.0;

// A smooth response's phases (a delay of 37 samples and a lag growing with
// log f) with a step of `samples` before tone `at`.
std::vector<analysis::TonePhase> steppedPhases(std::size_t at, double samples, double sd) {
    std::vector<analysis::TonePhase> tones;
    for (int i = 0; i < 240; ++i) {
        analysis::TonePhase t;
        t.frequency = 20.0 * std::pow(2.0, i / 24.0);
        const double step = static_cast<std::size_t>(i) >= at ? -2.0 * kPi * t.frequency * samples / kRate : 0.0;
        t.phase = std::remainder(-2.0 * kPi * t.frequency * 37.0 / kRate - 0.3 * std::log(t.frequency) + step, 2.0 * kPi);
        t.sd = sd;
        t.usable = true;
        tones.push_back(t);
    }
    return tones;
}

TEST(PhaseSteps, AStepOfWholeSamplesIsFoundWhereItIs) {
    EXPECT_TRUE(analysis::findPhaseSteps(steppedPhases(0, 0.0, 1e-4), kRate).empty());
    for (const double samples : {-1.0, 1.0, 3.0}) {
        const std::vector<analysis::PhaseStep> steps = analysis::findPhaseSteps(steppedPhases(150, samples, 1e-4), kRate);
        ASSERT_EQ(steps.size(), 1u) << samples;
        EXPECT_EQ(steps[0].tone, 150u);
        EXPECT_EQ(steps[0].samples, samples);
    }
    // Tones that cannot be used are stepped over: the step is put after the last usable one.
    std::vector<analysis::TonePhase> tones = steppedPhases(150, 1.0, 1e-4);
    tones[149].usable = false;
    const std::vector<analysis::PhaseStep> steps = analysis::findPhaseSteps(tones, kRate);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].tone, 149u);
    // A step of half a sample is no recorder's: nothing is claimed.
    EXPECT_TRUE(analysis::findPhaseSteps(steppedPhases(150, 0.5, 1e-4), kRate).empty());
}

struct PhaseCoverage {
    std::size_t tones = 0, inside = 0;
};

PhaseCoverage phasesFrom(const analysis::RecordingAnalysis& a, const test::IndependentRecording& r, std::size_t from) {
    PhaseCoverage c;
    for (std::size_t i = from; i < a.sweep.tones.size(); ++i) {
        const analysis::ToneMeasurement& t = a.sweep.tones[i];
        if (!t.placed || !t.quality || !t.quality->fitted || (t.steadiness && !t.steadiness->steady)) continue;
        const test::TrueTone truth = test::trueTone(t.frequency, kRate, test::noiseFreeLag(a, r, kRate));
        const double error = std::remainder(t.quality->phase - truth.phase, 2.0 * kPi) * 180.0 / kPi;
        ++c.tones;
        c.inside += std::fabs(error) <= t.quality->phaseU95Deg ? 1 : 0;
    }
    return c;
}

// One sample lost before tone 150 (1.5 kHz) at -60 dBFS of white noise, one
// repeated before tone 200 (6.4 kHz) at -40 dBFS: the jump is found, sized to
// the sample and the later tones measured on their new place.
TEST(SampleJumps, ADroppedOrRepeatedSampleIsFoundAndTheLaterTonesMeasuredAgain) {
    const sweep::SweepPlan plan = test::defaultSweep();
    for (const int change : {-1, 1}) {
        test::RecordingChain chain;
        const double noise = change < 0 ? -60.0 : -40.0;
        chain.whiteDbfs = noise;
        chain.seed = 7;
        test::IndependentRecording r = test::recordIndependently(plan, chain);
        const std::size_t tone = change < 0 ? 150 : 200;
        const auto at = r.samples.begin() + (test::blockStartOf(plan, r.samples, tone) - 40);
        if (change < 0) r.samples.erase(at);
        else r.samples.insert(at, *at);
        const analysis::RecordingAnalysis a = test::analyzed(plan, r.samples);
        ASSERT_EQ(a.sweep.jumps.size(), 1u) << change;
        const analysis::TimingJump& jump = a.sweep.jumps[0];
        EXPECT_EQ(jump.samples, change);
        EXPECT_TRUE(jump.exact);
        EXPECT_TRUE(jump.fromPhases);
        EXPECT_EQ(jump.tone, tone);
        const PhaseCoverage c = phasesFrom(a, r, tone);
        std::printf("%+d sample at tone %zu, white %.0f dBFS: %zu of %zu later phases inside\n", change, tone, noise,
                    c.inside, c.tones);
        EXPECT_GE(c.tones, a.sweep.tones.size() - tone - 2);
        EXPECT_GE(static_cast<double>(c.inside), 0.9 * static_cast<double>(c.tones));
    }
}

// Recordings without a jump, one clock and two, white and pink noise: no step is claimed.
TEST(SampleJumps, CleanRecordingsShowNoStep) {
    const sweep::SweepPlan plan = test::defaultSweep();
    std::size_t jumps = 0;
    for (int trial = 0; trial < 4; ++trial) {
        test::RecordingChain chain;
        chain.whiteDbfs = -70.0 + 10.0 * trial;
        chain.pinkDbfs = trial % 2 == 0 ? -400.0 : -60.0;
        chain.recorderPpm = trial < 2 ? 0.0 : 40.0 * trial - 150.0;
        chain.startFraction = 0.3;
        chain.seed = 100 + static_cast<std::uint64_t>(trial);
        const test::IndependentRecording r = test::recordIndependently(plan, chain);
        jumps += test::analyzed(plan, r.samples).sweep.jumps.size();
    }
    EXPECT_EQ(jumps, 0u);
}

}  // namespace
}  // namespace auralyn
