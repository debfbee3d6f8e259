// Faults of the recording's timing, by direct synthesis: a player's underrun
// (50 ms of silence inside a tone, every later tone late), samples a recorder
// lost, and a clock that drifts from 0 to +1 ppm along the recording.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "analysis/clock_drift.h"
#include "analysis/jump_repair.h"
#include "clock_test_recordings.h"
#include "drifted_sweep.h"
#include "fault_recordings.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

using analysis::ToneFlag;
using test::countFlag;

constexpr double kGain = 0.5;
TEST(JumpRepair, TakesOutWhatAJumpAddedAndPutsBackWhatItLost) {
    const std::vector<analysis::Sample> original{1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<analysis::Sample> late = original;
    late.insert(late.begin() + 3, 2, analysis::Sample{0});
    analysis::TimingJump added;
    added.sample = 3;
    added.samples = 2;
    added.exact = true;
    EXPECT_EQ(analysis::withoutJumps(late, {added}), original);
    // A size only estimated keeps the recording's length: zeros at the end.
    analysis::TimingJump estimated = added;
    estimated.exact = false;
    estimated.samples = 3;
    EXPECT_EQ(analysis::withoutJumps(late, {estimated}), (std::vector<analysis::Sample>{1, 2, 3, 5, 6, 7, 8, 0, 0, 0}));
    std::vector<analysis::Sample> early = original;
    early.erase(early.begin() + 2, early.begin() + 4);
    analysis::TimingJump lost;
    lost.sample = 2;
    lost.samples = -2;
    lost.exact = true;
    EXPECT_EQ(analysis::withoutJumps(early, {lost}), (std::vector<analysis::Sample>{1, 2, 0, 0, 5, 6, 7, 8}));
    // A jump past the end changes nothing but the end.
    added.sample = 100;
    EXPECT_EQ(analysis::withoutJumps(original, {added}), original);
}

// Sync pulses every 4 tones: the pulse after the underrun gives its size to
// the sample, and every later tone is measured on its new time base.
TEST(Jumps, AnUnderrunBeforeAPulseIsMeasuredOnTheNewTimeBase) {
    const sweep::SweepPlan plan = test::defaultSweep(4, 3.0);
    std::mt19937 random(23);
    const std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    const std::size_t tone = 13;
    const std::int64_t at = test::blockStartOf(plan, clean, tone) + test::blockLengthOf(plan, tone) / 3;
    const analysis::RecordingAnalysis a = test::analyzed(plan, test::withJump(clean, at, 2400));
    ASSERT_EQ(a.sweep.jumps.size(), 1u);
    const analysis::TimingJump& jump = a.sweep.jumps[0];
    EXPECT_TRUE(jump.exact);
    EXPECT_EQ(jump.samples, 2400.0);
    EXPECT_EQ(jump.tone, tone);
    EXPECT_TRUE(a.corrected);
    EXPECT_EQ(a.sweep.tones.at(tone).steadiness->flag, ToneFlag::Gap);
    const test::TruthCoverage c = test::truthCoverage(a, tone + 1, kGain, 48000.0);
    EXPECT_EQ(c.measured, a.sweep.tones.size() - tone - 1);
    EXPECT_GE(static_cast<double>(c.magnitudeInside), 0.8 * static_cast<double>(c.measured));
    EXPECT_EQ(c.phaseInside, c.measured);
}

// Without pulses the tones alone find the jump and about its size; their
// phases cannot be had, so the tones after it are not measured.
TEST(Jumps, AnUnderrunWithoutPulsesLeavesTheLaterTonesUnmeasured) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(29);
    std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    clean.insert(clean.end(), 48000, std::int16_t{0});
    const std::size_t tone = 13;
    const std::int64_t at = test::blockStartOf(plan, clean, tone) + test::blockLengthOf(plan, tone) / 3;
    const analysis::RecordingAnalysis a = test::analyzed(plan, test::withJump(clean, at, 2400));
    ASSERT_EQ(a.sweep.jumps.size(), 1u);
    EXPECT_FALSE(a.sweep.jumps[0].exact);
    EXPECT_NEAR(a.sweep.jumps[0].samples, 2400.0, 96.0);  // 2 ms
    for (std::size_t i = 0; i < a.sweep.tones.size(); ++i) {
        const analysis::ToneMeasurement& t = a.sweep.tones[i];
        EXPECT_EQ(t.placed, i < a.sweep.jumps[0].tone) << i;
        if (!t.placed) {
            EXPECT_EQ(t.steadiness->flag, ToneFlag::Jump);
        }
    }
    EXPECT_GE(a.sweep.jumps[0].tone, tone);
    EXPECT_LE(a.sweep.jumps[0].tone, tone + 1);
}

// Five and fifty samples lost with a pulse every 2 tones: the phases after
// the loss come out right, not turned by 360 f n / R.
TEST(Jumps, LostSamplesAreFoundByThePulseAfterThem) {
    const sweep::SweepPlan plan = test::defaultSweep(2, 3.0);
    std::mt19937 random(31);
    const std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    for (const int lost : {5, 50}) {
        const std::size_t tone = 17;
        const std::int64_t at = test::blockStartOf(plan, clean, tone) - 100;
        const std::vector<std::int16_t> recording = test::withJump(clean, at, -lost);
        const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
        ASSERT_EQ(a.sweep.jumps.size(), 1u) << lost;
        EXPECT_EQ(a.sweep.jumps[0].samples, -lost);
        EXPECT_TRUE(a.sweep.jumps[0].exact);
        const test::TruthCoverage c = test::truthCoverage(a, tone, kGain, 48000.0);
        std::size_t unplaced = 0;
        for (const auto& t : a.sweep.tones) unplaced += t.placed ? 0 : 1;
        EXPECT_GE(c.measured + unplaced + 1, a.sweep.tones.size() - tone) << lost;  // the tone at the loss may be flagged
        EXPECT_EQ(c.phaseInside, c.measured) << lost;
    }
}

// Jumps shorter than the settling time (10 ms against 40 ms) leave every
// later block inside its own tone: only the tone holding the jump is
// unsteady. 10 ms late (silence put in) and 10 ms early (samples lost), and
// 20 ms late at the next tone: found, with their size to a few per cent and
// their sign; the later tones are not measured at the old place. Where the
// later tones stayed steady at the old place, their phases give the jump to
// the sample: they are then measured at the new one, and must hold the truth.
TEST(Jumps, JumpsShorterThanTheSettlingTimeAreFoundWithTheirSizeAndSign) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(41);
    std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    clean.insert(clean.end(), 48000, std::int16_t{0});
    struct Case {
        std::size_t tone;
        int samples;  // positive: silence put in; negative: samples lost
    };
    for (const Case c : {Case{13, 480}, Case{13, -480}, Case{14, 960}}) {
        const std::int64_t at = test::blockStartOf(plan, clean, c.tone) + test::blockLengthOf(plan, c.tone) / 3;
        const std::vector<std::int16_t> recording = test::withJump(clean, at, c.samples);
        const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
        ASSERT_EQ(a.sweep.jumps.size(), 1u) << c.samples;
        const analysis::TimingJump& jump = a.sweep.jumps[0];
        if (jump.exact) {
            EXPECT_TRUE(jump.fromPhases);
            EXPECT_EQ(jump.samples, c.samples);
            EXPECT_LE(jump.tone, c.tone + 1);
            EXPECT_GE(jump.tone, c.tone);
            const test::TruthCoverage later = test::truthCoverage(a, c.tone + 1, kGain, 48000.0);
            EXPECT_EQ(later.measured, a.sweep.tones.size() - c.tone - 1) << c.samples;
            EXPECT_EQ(later.phaseInside, later.measured) << c.samples;
            continue;
        }
        // To a few per cent and a dozen samples (where the neighbouring tones end), with its sign.
        EXPECT_NEAR(jump.samples, c.samples, 12.0 + 0.05 * std::abs(c.samples)) << c.samples;
        EXPECT_EQ(jump.tone, c.tone);
        for (std::size_t i = 0; i < a.sweep.tones.size(); ++i) EXPECT_EQ(a.sweep.tones[i].placed, i < c.tone) << i;
        EXPECT_EQ(countFlag(a, ToneFlag::Jump), a.sweep.tones.size() - c.tone);
    }
}

// Bursts of loud noise inside a dozen tones make them unsteady as a jump
// does, but move no tone: no jump is found and every tone is placed.
TEST(Jumps, BurstsInsideTonesAreNoJumps) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    std::mt19937 random(43);
    std::vector<std::int16_t> recording = test::noisySweep(plan, kGain, 3.0, random);
    std::normal_distribution<double> loud(0.0, 3000.0);
    for (std::size_t tone = 5; tone < 60; tone += 5) {
        test::addDuringTone(plan, recording, tone, [&](std::int32_t n, std::int32_t length) {
            return n > length / 4 && n < length / 4 + 400 ? loud(random) : 0.0;
        });
    }
    const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
    EXPECT_TRUE(a.sweep.jumps.empty());
    EXPECT_GE(test::countUnsteady(a), 8u);
    for (const auto& t : a.sweep.tones) EXPECT_TRUE(t.placed) << t.frequency;
}

TEST(ClockModel, AStraightLineThroughTheReadingsAndItsSlopeTest) {
    std::mt19937 random(37);
    std::normal_distribution<double> gauss(0.0, 0.4);
    std::size_t falseAlarms = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<analysis::RatioReading> readings;
        for (int i = 0; i < 200; ++i) readings.push_back({0.1 * i, 3.0 + gauss(random), 0.4});
        falseAlarms += analysis::fitClockModel(readings).drifting ? 1 : 0;
    }
    EXPECT_EQ(falseAlarms, 0u);
    std::vector<analysis::RatioReading> ramp;
    for (int i = 0; i < 200; ++i) ramp.push_back({0.1 * i, 0.05 * 0.1 * i + gauss(random), 0.4});
    ramp[50].ppm = 40.0;  // a tone that read nothing like a clock is left out
    const analysis::ClockModel model = analysis::fitClockModel(ramp);
    EXPECT_TRUE(model.drifting);
    EXPECT_NEAR(model.slopePpmPerSecond, 0.05, model.slopeU95);
    EXPECT_NEAR(model.ppmAtStart, 0.0, 0.3);
    EXPECT_EQ(model.tones, 199u);
    // Too few readings give no model at all.
    EXPECT_EQ(analysis::fitClockModel({{0.0, 1.0, 0.1}}).tones, 0u);
}

// A recorder's crystal warming up: 0 to +1 ppm along the recording. The
// drift is found, followed, and the tones' phases hold their intervals.
// The sweep's samples on a recorder's clock that drifts from 0 to +1 ppm over
// the sweep (a crystal warming up), with white noise; `withoutPulse` leaves
// the first sync pulse out, so that the tones alone time the recording.
std::vector<std::int16_t> driftingRecording(const sweep::SweepPlan& plan, bool withoutPulse) {
    const double length = test::playedSweepLength(plan);
    const double slope = 1e-6 / length;  // ratio deviation per recording sample
    // From the first pulse on (where the time origin lies on a whole sample),
    // recording sample k holds played time tau with k - p = u + slope u^2 / 2, u = tau - p.
    const sweep::SweepParameters& p = plan.params();
    const double pulse = sweep::generatorLeadInSamples(p) + sweep::syncSettlingSamples(p) + sweep::syncDriftSamples(p);
    const auto played = [slope, pulse](double k) {
        const double u = k - pulse;
        return u <= 0.0 ? k : pulse + (std::sqrt(1.0 + 2.0 * slope * u) - 1.0) / slope;
    };
    std::mt19937 random(41);
    std::vector<double> signal = test::synthesiseMappedSweep(plan, played, static_cast<std::size_t>(length) + 4800, kGain);
    if (withoutPulse) {
        const auto first = static_cast<std::size_t>(pulse);
        std::fill(signal.begin() + static_cast<std::ptrdiff_t>(first),
                  signal.begin() + static_cast<std::ptrdiff_t>(first + sweep::syncPulseSamples(p)), 0.0);
    }
    std::normal_distribution<double> gauss(0.0, 3.0);
    for (double& x : signal) x += gauss(random);
    return test::rounded(signal);
}

TEST(ClockModel, AClockDriftingAlongTheRecordingIsFollowed) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const double length = test::playedSweepLength(plan);
    const analysis::RecordingAnalysis a = test::analyzed(plan, driftingRecording(plan, false));
    ASSERT_TRUE(a.sweep.clockModel.has_value());
    EXPECT_TRUE(a.sweep.clockModel->drifting);
    EXPECT_NEAR(a.sweep.clockModel->slopePpmPerSecond, 48000.0 / length, a.sweep.clockModel->slopeU95);
    const test::TruthCoverage c = test::truthCoverage(a, 0, kGain, 48000.0);
    std::printf("drifting clock: %.3f ppm/s (truth %.3f), phases inside %zu of %zu, magnitudes %zu\n",
                a.sweep.clockModel->slopePpmPerSecond, 48000.0 / length, c.phaseInside, c.measured, c.magnitudeInside);
    EXPECT_GE(c.measured, a.sweep.tones.size() - 1);
    EXPECT_GE(static_cast<double>(c.phaseInside), 0.9 * static_cast<double>(c.measured));
}

// The same recording without its first sync pulse: the tones alone time it,
// and the drift is followed all the same.
TEST(ClockModel, ADriftingClockIsFollowedWhereTheTonesAloneTimeTheRecording) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const analysis::RecordingAnalysis a = test::analyzed(plan, driftingRecording(plan, true));
    ASSERT_TRUE(a.located);
    EXPECT_EQ(a.sync, analysis::TimeBase::Sweep);
    ASSERT_TRUE(a.sweep.clockModel.has_value());
    EXPECT_TRUE(a.sweep.clockModel->drifting);
    const test::TruthCoverage c = test::truthCoverage(a, 0, kGain, 48000.0);
    std::printf("drifting clock timed by its tones: phases inside %zu of %zu, magnitudes %zu\n", c.phaseInside,
                c.measured, c.magnitudeInside);
    EXPECT_GE(c.measured, a.sweep.tones.size() - 1);
    EXPECT_GE(static_cast<double>(c.phaseInside), 0.9 * static_cast<double>(c.measured));
}

}  // namespace
}  // namespace auralyn
