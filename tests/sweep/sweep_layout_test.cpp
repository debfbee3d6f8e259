#include <gtest/gtest.h>

#include "sweep/sweep_layout.h"
#include "sweep_test_plans.h"

namespace auralyn {
namespace {

TEST(LayoutCounts, DialogueDefaultsAt48000) {
    const sweep::SweepParameters p = test::dialogueDefaults();
    EXPECT_EQ(sweep::generatorLeadInSamples(p), 168000);  // 24000 + 3 x 48000
    EXPECT_EQ(sweep::measurerLeadInSamples(p), 24000);
    EXPECT_EQ(sweep::syncSettlingSamples(p), 1920);
    EXPECT_EQ(sweep::syncDriftSamples(p), 9);             // 9.6 truncated
    EXPECT_EQ(sweep::syncPulseSamples(p), 9);
}

TEST(LayoutCounts, LeadInTruncatesBeforeAddingThreeSeconds) {
    sweep::SweepParameters p = test::dialogueDefaults();
    p.sampleRate = 44100;
    p.leadInTime = 0.00001;  // 0.441 samples
    EXPECT_EQ(sweep::generatorLeadInSamples(p), 132300);
    EXPECT_EQ(sweep::measurerLeadInSamples(p), 0);
}

TEST(SweepSampleCount, OneToneSweep) {
    // 168000 opening, 1920 + 9 + 9 sync, 1920 + 960 + 48 tone.
    const sweep::SweepPlan plan(test::linearSweep(1000, 1000, 10));
    EXPECT_EQ(sweep::sweepSampleCount(plan), 172866u);
}

TEST(SweepSampleCount, SyncSegmentsFollowTonesPerPulse) {
    sweep::SweepParameters p = test::linearSweep(1000, 15000, 14000);
    EXPECT_EQ(sweep::sweepSampleCount(sweep::SweepPlan(p)), 172866u + 1920 + 960 + 9);
    p.tonesPerSyncPulse = 1;
    EXPECT_EQ(sweep::sweepSampleCount(sweep::SweepPlan(p)), 172866u + 1938 + 1920 + 960 + 9);
}

TEST(GeneratedToneSpans, EachToneAfterItsPulseAndSettling) {
    sweep::SweepParameters p = test::linearSweep(1000, 15000, 14000);
    p.tonesPerSyncPulse = 1;
    const std::vector<sweep::ToneSpan> spans = sweep::generatedToneSpans(sweep::SweepPlan(p));
    ASSERT_EQ(spans.size(), 2u);
    // 168000 opening, 1920 + 9 + 9 sync, 1920 settling.
    EXPECT_EQ(spans[0].start, 171858u);
    EXPECT_EQ(spans[0].length, 960u);
    EXPECT_DOUBLE_EQ(spans[0].frequency, 1000.0);
    // 960 tone and 48 drift, then the second pulse (1938) and settling.
    EXPECT_EQ(spans[1].start, 171858u + 960 + 48 + 1938 + 1920);
    EXPECT_EQ(spans[1].length, 960u);
    EXPECT_DOUBLE_EQ(spans[1].frequency, 15000.0);
    // The last tone's drift allowance (9 samples) ends the file.
    EXPECT_EQ(spans[1].start + spans[1].length + 9, sweep::sweepSampleCount(sweep::SweepPlan(p)));
}

TEST(SweepSampleCount, LowToneLayout) {
    // 20 Hz: 2400 lead, 24000 block, 2400 tail.
    const sweep::SweepPlan plan(test::linearSweep(20, 20, 10));
    EXPECT_EQ(sweep::sweepSampleCount(plan), 168000u + 1938 + 28800);
}

TEST(SweepSampleCount, StopsPastTheLimitAndLeavesPlanAlone) {
    sweep::SweepPlan plan(test::dialogueDefaults());
    plan.rewind();
    plan.nextTone();
    const std::uint64_t count = sweep::sweepSampleCount(plan, 1000);
    EXPECT_GT(count, 1000u);
    EXPECT_LT(count, 200000u);  // stopped within the first tone
    EXPECT_EQ(plan.params().toneIndex, 1u);
}

TEST(SweepSampleCount, StepTooSmallToAdvanceEndsTheWalk) {
    // 24000 + 1e-300 is 24000: every tone repeats at half the rate, 0 samples long.
    sweep::SweepParameters p = test::linearSweep(24000, 24000, 1e-300);
    p.minToneDuration = 0;
    p.settlingTime = 0;
    p.maxTimeDrift = 0;
    EXPECT_GT(sweep::sweepSampleCount(sweep::SweepPlan(p)), sweep::kMaxWaveSamples16);
}

}  // namespace
}  // namespace auralyn
