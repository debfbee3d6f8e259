// Jumps that the tones alone must find, on sweeps synthesised here in closed
// form (fault_recordings.h, not the kit's generator or simulator) and cut by
// the test's own sample surgery: a stall or a lost buffer that falls between
// two blocks (no tone unsteady, only the later phases turned), one early
// enough that the tones after it outvote the first pulse, and losses longer
// than a tone. The truth of every tone is known: -6.02 dB and phase 0 at its
// block's start.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "analysis/jump_repair.h"
#include "analysis/phase_steps.h"
#include "clock_test_recordings.h"
#include "fault_recordings.h"
#include "sweep_test_plans.h"

namespace auralyn {
namespace {

using analysis::ToneFlag;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr double kGain = 0.5;
// The 6-tones-per-octave default sweep without later pulses (60 tones), a
// second of silence after it.
struct Sweep6 {
    sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    std::vector<std::int16_t> clean;
    explicit Sweep6(unsigned seed) {
        std::mt19937 random(seed);
        clean = test::noisySweep(plan, kGain, 3.0, random);
        clean.insert(clean.end(), 48000, std::int16_t{0});
    }
    // Just after tone k - 1's block: the stall or loss lies between two blocks.
    std::int64_t afterBlock(std::size_t k) const {
        return test::blockStartOf(plan, clean, k - 1) + test::blockLengthOf(plan, k - 1) + 5;
    }
};

TEST(PhaseSteps, AStepLongerThanAFewSamplesIsFoundWithinTheLayoutsRoom) {
    // A smooth response (a delay and a lag growing with log f), 24 tones per
    // octave, a step of `samples` before tone 150.
    const auto phases = [](double samples, double sd) {
        std::vector<analysis::TonePhase> tones;
        for (int i = 0; i < 240; ++i) {
            analysis::TonePhase t;
            t.frequency = 20.0 * std::pow(2.0, i / 24.0);
            const double step = i >= 150 ? -2.0 * kPi * t.frequency * samples / kRate : 0.0;
            t.phase = std::remainder(-2.0 * kPi * t.frequency * 37.0 / kRate - 0.3 * std::log(t.frequency) + step,
                                     2.0 * kPi);
            t.sd = sd;
            t.usable = true;
            tones.push_back(t);
        }
        return tones;
    };
    for (const double samples : {-100.0, 9.0, 20.0, 480.0, 1500.0}) {
        const std::vector<analysis::PhaseStep> steps = analysis::findPhaseSteps(phases(samples, 1e-3), kRate, 2400);
        ASSERT_EQ(steps.size(), 1u) << samples;
        EXPECT_EQ(steps[0].tone, 150u) << samples;
        EXPECT_EQ(steps[0].samples, samples);
    }
    // Nothing where there is no step, nor where the step is longer than the room.
    EXPECT_TRUE(analysis::findPhaseSteps(phases(0.0, 1e-3), kRate, 2400).empty());
    EXPECT_TRUE(analysis::findPhaseSteps(phases(3000.0, 1e-3), kRate, 2400).empty());
}

// Stalls and losses from 20 to 1000 samples between the blocks of tones 19
// and 20: no tone is unsteady, every later phase turned by 360 f n / R. Found
// to the sample from the step in the phases, and the later tones measured on
// their new place.
TEST(Jumps, AJumpBetweenTwoBlocksIsFoundFromThePhasesAndTheLaterTonesMeasuredThere) {
    const Sweep6 s(5);
    const std::size_t tone = 20;
    for (const int samples : {20, -20, 100, -100, 500, 1000}) {
        SCOPED_TRACE(samples);
        const analysis::RecordingAnalysis a =
            test::analyzed(s.plan, test::withJump(s.clean, s.afterBlock(tone), samples));
        ASSERT_EQ(a.sweep.jumps.size(), 1u);
        const analysis::TimingJump& jump = a.sweep.jumps[0];
        EXPECT_EQ(jump.samples, samples);
        EXPECT_TRUE(jump.exact);
        EXPECT_EQ(jump.tone, tone);
        EXPECT_EQ(a.sync, analysis::TimeBase::Pulse);
        const test::TruthCoverage later = test::truthCoverage(a, tone, kGain, kRate);
        std::printf("%+5d samples between blocks: %zu of %zu later phases inside\n", samples, later.phaseInside,
                    later.measured);
        EXPECT_EQ(later.unplaced, 0u);
        EXPECT_GE(later.measured, a.sweep.tones.size() - tone - 1);
        EXPECT_GE(static_cast<double>(later.phaseInside), 0.9 * static_cast<double>(later.measured));
    }
}

// A jump early in the sweep (before tone 3 of 60, or tone 20 where the tones
// after it are still the most): the tones after it outvote the first pulse.
// The pulse keeps the time base, the jump is named with its size and sign,
// and the tones before it are measured on the pulse's place.
TEST(Jumps, AJumpThatOutvotesTheFirstPulseIsNamedAndThePulseKeepsItsTimeBase) {
    const Sweep6 s(7);
    struct Case {
        std::size_t tone;
        int samples;
    };
    for (const Case c : {Case{3, 2400}, Case{20, 500}, Case{20, 1000}}) {
        SCOPED_TRACE(c.samples);
        const analysis::RecordingAnalysis a =
            test::analyzed(s.plan, test::withJump(s.clean, s.afterBlock(c.tone), c.samples));
        EXPECT_EQ(a.sync, analysis::TimeBase::Pulse);
        ASSERT_EQ(a.sweep.jumps.size(), 1u);
        EXPECT_EQ(a.sweep.jumps[0].samples, c.samples);
        EXPECT_EQ(a.sweep.jumps[0].tone, c.tone);
        const test::TruthCoverage before = test::truthCoverage(a, 0, kGain, kRate);
        EXPECT_EQ(before.unplaced, 0u);
        EXPECT_GE(static_cast<double>(before.phaseInside), 0.9 * static_cast<double>(before.measured));
        // The tones before the jump hold steady on the pulse's place.
        for (std::size_t i = 0; i < c.tone; ++i) EXPECT_TRUE(a.sweep.tones[i].steadiness->steady) << i;
    }
    // Samples lost inside tone 3 instead: named with its size and sign; the
    // tones after it are not measured where their place is only estimated.
    const std::int64_t inside = test::blockStartOf(s.plan, s.clean, 3) + 300;
    const analysis::RecordingAnalysis lost = test::analyzed(s.plan, test::withJump(s.clean, inside, -2400));
    EXPECT_EQ(lost.sync, analysis::TimeBase::Pulse);
    ASSERT_EQ(lost.sweep.jumps.size(), 1u);
    EXPECT_NEAR(lost.sweep.jumps[0].samples, -2400.0, 0.02 * 2400.0);
    const test::TruthCoverage after = test::truthCoverage(lost, 4, kGain, kRate);
    EXPECT_EQ(after.phaseInside, after.measured);
}

// 100 to 300 ms lost from the middle of a third-octave sweep without later
// pulses: whole tones are gone. The jump is named with its size (to a per
// cent) and sign, the tones after it not measured; 200 ms of silence put in
// alike.
TEST(Jumps, ALossLongerThanATonesIsNamedWithItsSize) {
    sweep::SweepParameters p = test::dialogueDefaults();
    p.startFrequency = 100.0;
    p.endFrequency = 15000.0;
    p.frequencyStep = 3.0;
    sweep::SweepPlan plan(p);
    plan.rewind();
    plan.lock();
    std::mt19937 random(11);
    std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    clean.insert(clean.end(), 48000, std::int16_t{0});
    const std::size_t tone = 10;
    const std::int64_t at = test::blockStartOf(plan, clean, tone) + 300;
    for (const int samples : {-4800, -9600, -14400, 9600}) {
        SCOPED_TRACE(samples);
        const analysis::RecordingAnalysis a = test::analyzed(plan, test::withJump(clean, at, samples));
        ASSERT_EQ(a.sweep.jumps.size(), 1u);
        const analysis::TimingJump& jump = a.sweep.jumps[0];
        EXPECT_NEAR(jump.samples, samples, 0.01 * std::abs(samples));
        EXPECT_FALSE(jump.exact);
        EXPECT_EQ(jump.tone, tone);
        for (std::size_t i = 0; i < a.sweep.tones.size(); ++i) EXPECT_EQ(a.sweep.tones[i].placed, i < tone) << i;
    }
}

// The recording as recorded ended before its last tones (samples were lost);
// the repaired one, padded to its length, holds them where an estimated size
// put them: they are not placed either. Without an unplaced tone they are kept.
TEST(JumpRepair, TonesPastTheRecordedEndAfterAnEstimatedJumpAreNotPlaced) {
    analysis::SweepAnalysis recorded, repaired;
    recorded.tones.resize(3);
    repaired.tones.resize(5);
    recorded.tones[2].placed = false;
    analysis::carryJumps(recorded, repaired);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(repaired.tones[i].placed, i < 2) << i;
        if (i >= 2) {
            EXPECT_EQ(repaired.tones[i].steadiness->flag, ToneFlag::Jump) << i;
        }
    }
    recorded.tones[2].placed = true;
    analysis::SweepAnalysis kept;
    kept.tones.resize(5);
    analysis::carryJumps(recorded, kept);
    for (const auto& t : kept.tones) EXPECT_TRUE(t.placed);
}

// Clicks, bursts and noise that grows along the recording, on recordings
// without a jump: no jump is claimed and every tone stays placed.
TEST(Jumps, ClicksBurstsAndRisingNoiseAreNoJumps) {
    const Sweep6 s(13);
    std::mt19937 random(17);
    std::size_t jumps = 0, unplaced = 0;
    for (int trial = 0; trial < 4; ++trial) {
        std::vector<double> signal(s.clean.begin(), s.clean.end());
        std::uniform_real_distribution<double> where(0.0, static_cast<double>(signal.size() - 1));
        std::normal_distribution<double> gauss(0.0, 1.0);
        // 40 clicks of a quarter of full scale.
        for (int k = 0; k < 40; ++k) signal[static_cast<std::size_t>(where(random))] += trial % 2 ? 8000.0 : -8000.0;
        // Bursts of noise of 10 ms at -30 dBFS.
        for (int k = 0; k < 8; ++k) {
            const auto from = static_cast<std::size_t>(where(random));
            for (std::size_t n = from; n < std::min(signal.size(), from + 480); ++n) signal[n] += 1000.0 * gauss(random);
        }
        // Noise rising from nothing to -50 dBFS along the recording.
        for (std::size_t n = 0; n < signal.size(); ++n)
            signal[n] += 100.0 * static_cast<double>(trial) * static_cast<double>(n) / static_cast<double>(signal.size()) * gauss(random);
        const analysis::RecordingAnalysis a = test::analyzed(s.plan, test::rounded(signal));
        jumps += a.sweep.jumps.size();
        for (const auto& t : a.sweep.tones) unplaced += t.placed ? 0 : 1;
    }
    EXPECT_EQ(jumps, 0u);
    EXPECT_EQ(unplaced, 0u);
}

}  // namespace
}  // namespace auralyn
