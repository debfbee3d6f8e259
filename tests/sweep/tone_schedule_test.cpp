#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sweep/sweep_plan.h"
#include "sweep_test_plans.h"

namespace auralyn {
namespace {

using test::dialogueDefaults;
using test::linearSweep;
using test::rewoundPlan;

sweep::SweepParameters searchAt48000() {
    sweep::SweepParameters p = dialogueDefaults();
    p.minToneDuration = 0.02;
    p.maxFractionalCycle = 1.0;
    p.maxExtraSamples = 400;
    return p;
}

sweep::SweepParameters searchAt44100() {
    sweep::SweepParameters p = dialogueDefaults();
    p.sampleRate = 44100;
    p.minToneDuration = 0.02;
    p.maxFractionalCycle = 0.01;
    p.maxExtraSamples = 400;
    return p;
}

std::vector<double> walkFrequencies(sweep::SweepPlan plan) {
    std::vector<double> frequencies;
    plan.rewind();
    do {
        frequencies.push_back(plan.params().toneFrequency);
    } while (plan.nextTone());
    return frequencies;
}

TEST(ToneLengthSearch, WorkedLengthsAt48000) {
    const sweep::SweepPlan plan(searchAt48000());
    EXPECT_EQ(plan.toneLengthFor(1000), 960);
    EXPECT_EQ(plan.toneLengthFor(20), 24000);     // raised to 10 cycles
    EXPECT_EQ(plan.toneLengthFor(15000), 960);    // folds to b = 9000
    EXPECT_EQ(plan.toneLengthFor(24000), 960);    // exactly half the rate
}

// A search changed in one or two fields, the tone asked for and the length it must give.
struct LengthCase {
    const char* why;
    sweep::SweepParameters params;
    double frequency;
    double length;
};

template <typename Change>
sweep::SweepParameters changed(sweep::SweepParameters p, Change change) {
    change(p);
    return p;
}

TEST(ToneLengthSearch, SearchBoundsGiveWorkedLengths) {
    const LengthCase cases[] = {
        {"stops at the first candidate within the bound", searchAt44100(), 10000.5, 904},
        {"a zero bound searches every candidate",
         changed(searchAt44100(), [](auto& p) { p.maxFractionalCycle = 0; }), 10000.5, 1173},
        {"no extra samples gives the minimum length",
         changed(searchAt44100(), [](auto& p) { p.maxExtraSamples = 0; }), 10000.5, 886},
        {"no extra samples and a zero bound still give the minimum length",
         changed(searchAt44100(),
                 [](auto& p) {
                     p.maxExtraSamples = 0;
                     p.maxFractionalCycle = 0;
                 }),
         10000.5, 886},
        {"double precision goes past a noisy whole cycle",
         changed(dialogueDefaults(),
                 [](auto& p) {
                     p.sampleRate = 22050;
                     p.maxFractionalCycle = 0;
                     p.minToneDuration = 0;
                     p.maxExtraSamples = 3000;
                 }),
         9975, 231},
        // The minimum stays ten cycles whatever the record says.
        {"200 minimum cycles in the record", changed(searchAt48000(), [](auto& p) { p.minCyclesPerTone = 200; }), 20,
         24000},
        {"0 minimum cycles in the record", changed(searchAt48000(), [](auto& p) { p.minCyclesPerTone = 0; }), 20,
         24000},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(sweep::SweepPlan(c.params).toneLengthFor(c.frequency), c.length) << c.why;
    }
}

TEST(ToneLengthSearch, HalfRateToneTruncatesRateTimesDuration) {
    sweep::SweepParameters p = searchAt48000();
    p.minToneDuration = 0.0123;  // 590.4 samples
    sweep::SweepPlan plan(p);
    plan.setToneFrequency(24000);
    EXPECT_EQ(plan.params().toneLength, 590);
}

TEST(LeadAndTail, WorkedValuesAt48000) {
    sweep::SweepPlan plan(dialogueDefaults());
    plan.setToneFrequency(1000);
    EXPECT_EQ(plan.params().toneLength, 960);
    EXPECT_EQ(plan.settlingSamples(), 1920);
    EXPECT_EQ(plan.driftSamples(), 48);

    plan.setToneFrequency(20);
    EXPECT_EQ(plan.params().toneLength, 24000);
    EXPECT_EQ(plan.settlingSamples(), 2400);
    EXPECT_EQ(plan.driftSamples(), 2400);

    plan.setToneFrequency(15000);
    EXPECT_EQ(plan.params().toneLength, 960);
    EXPECT_EQ(plan.settlingSamples(), 1920);
    EXPECT_EQ(plan.driftSamples(), 9);
}

TEST(LeadAndTail, DoubleArithmeticKeepsExactWholeCount) {
    sweep::SweepParameters p = dialogueDefaults();
    p.sampleRate = 8000;
    p.settlingTime = 0.025;
    sweep::SweepPlan plan(p);
    plan.setToneFrequency(125);
    EXPECT_EQ(plan.settlingSamples(), 256);
}

TEST(LeadAndTail, ZeroDriftTailCanBeOneSampleShort) {
    // 10 cycles of 61.25 Hz at 22050 Hz: 10 / 61.25 x 22050 is 3599.9999999999995
    // in doubles, so the block rounds up to 3600 while block plus tail
    // truncates to 3599. Both programs must follow this -1 alike.
    sweep::SweepParameters p = dialogueDefaults();
    p.sampleRate = 22050;
    p.maxTimeDrift = 0;
    p.maxFractionalCycle = 1.0;
    sweep::SweepPlan plan(p);
    plan.setToneFrequency(61.25);
    EXPECT_EQ(plan.params().toneLength, 3600);
    EXPECT_EQ(plan.driftSamples(), -1);
}

TEST(ToneCount, LinearSweepEndsExactlyOnEndFrequency) {
    const sweep::SweepPlan plan(linearSweep(20, 20000, 10));
    EXPECT_EQ(plan.toneCount(), 1999u);
    const std::vector<double> tones = walkFrequencies(plan);
    ASSERT_EQ(tones.size(), 1999u);
    EXPECT_EQ(tones.front(), 20.0);
    EXPECT_EQ(tones.back(), 20000.0);
}

TEST(ToneCount, OctaveSweeps) {
    sweep::SweepParameters p = dialogueDefaults();
    EXPECT_EQ(sweep::SweepPlan(p).toneCount(), 240u);
    EXPECT_EQ(walkFrequencies(sweep::SweepPlan(p)).size(), 240u);

    p.frequencyStep = 3;
    EXPECT_EQ(sweep::SweepPlan(p).toneCount(), 30u);
    const std::vector<double> tones = walkFrequencies(sweep::SweepPlan(p));
    ASSERT_EQ(tones.size(), 30u);
    EXPECT_NEAR(tones.back(), 16255.0, 0.5);  // 20 x 2^(29/3)
    EXPECT_EQ(tones[3], 40.0);                // one octave up
}

TEST(ToneCount, EqualStartAndEndGiveOneTone) {
    const sweep::SweepPlan linear(linearSweep(1000, 1000, 10));
    EXPECT_EQ(linear.toneCount(), 1u);
    EXPECT_EQ(walkFrequencies(linear).size(), 1u);
    sweep::SweepParameters octave = dialogueDefaults();
    octave.startFrequency = octave.endFrequency = 1000;
    EXPECT_EQ(sweep::SweepPlan(octave).toneCount(), 1u);
    EXPECT_EQ(walkFrequencies(sweep::SweepPlan(octave)).size(), 1u);
}

TEST(ToneCount, StartAboveEndStillWalksOneToneWithoutFault) {
    const sweep::SweepPlan plan(linearSweep(2000, 1000, 10));
    EXPECT_EQ(plan.toneCount(), 0u);
    EXPECT_EQ(walkFrequencies(plan).size(), 1u);
    EXPECT_EQ(rewoundPlan(linearSweep(2000, 1000, 10)).percentDone(), 0.0);
}

TEST(Walk, RewindMakesToneZeroCurrent) {
    sweep::SweepPlan plan = rewoundPlan(linearSweep(20, 20000, 10));
    ASSERT_TRUE(plan.nextTone());
    ASSERT_TRUE(plan.nextTone());
    plan.rewind();
    EXPECT_EQ(plan.params().toneIndex, 0u);
    EXPECT_EQ(plan.params().toneFrequency, 20.0);
    EXPECT_EQ(plan.params().toneLength, 24000);
}

TEST(Walk, NextToneAtEndLeavesLastToneCurrent) {
    sweep::SweepPlan plan = rewoundPlan(linearSweep(1000, 1020, 10));
    ASSERT_TRUE(plan.nextTone());
    ASSERT_TRUE(plan.nextTone());
    const sweep::SweepParameters last = plan.params();
    EXPECT_EQ(last.toneIndex, 2u);
    EXPECT_EQ(last.toneFrequency, 1020.0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(plan.nextTone());
        EXPECT_EQ(plan.params().toneIndex, last.toneIndex);
        EXPECT_EQ(plan.params().toneFrequency, last.toneFrequency);
        EXPECT_EQ(plan.params().toneLength, last.toneLength);
    }
}

TEST(Walk, SyncTones) {
    sweep::SweepParameters p = linearSweep(20, 20000, 10);
    sweep::SweepPlan single = rewoundPlan(p);
    EXPECT_TRUE(single.isSyncTone());
    std::vector<std::uint32_t> syncIndices;
    while (single.nextTone()) {
        if (single.isSyncTone()) syncIndices.push_back(single.params().toneIndex);
    }
    EXPECT_TRUE(syncIndices.empty());

    p.tonesPerSyncPulse = 5;
    sweep::SweepPlan every5 = rewoundPlan(p);
    std::vector<bool> sync;
    do {
        sync.push_back(every5.isSyncTone());
    } while (every5.nextTone() && sync.size() < 12);
    const std::vector<bool> expected{true, false, false, false, false, true,
                                     false, false, false, false, true, false};
    EXPECT_EQ(sync, expected);
}

TEST(Walk, PercentDoneCountsTonesBeforeCurrent) {
    sweep::SweepPlan plan = rewoundPlan(linearSweep(20, 20000, 10));
    EXPECT_EQ(plan.percentDone(), 0.0);
    ASSERT_TRUE(plan.nextTone());
    EXPECT_DOUBLE_EQ(plan.percentDone(), 100.0 / 1999);
    while (plan.nextTone()) {
    }
    EXPECT_DOUBLE_EQ(plan.percentDone(), 1998 * 100.0 / 1999);
    EXPECT_LT(plan.percentDone(), 100.0);
}

TEST(PhaseAtSample, StartsBlockOnRisingZeroCrossing) {
    sweep::SweepPlan plan(dialogueDefaults());
    plan.setToneFrequency(1000);  // 48 samples per cycle
    EXPECT_EQ(plan.phaseAtSample(-1920), 0.0);
    EXPECT_EQ(plan.phaseAtSample(0), 0.0);
    EXPECT_DOUBLE_EQ(plan.phaseAtSample(12), 3.141592653589793 / 2);
    EXPECT_DOUBLE_EQ(plan.phaseAtSample(-12), -3.141592653589793 / 2);
    EXPECT_DOUBLE_EQ(plan.phaseAtSample(60), 3.141592653589793 / 2);  // wraps, positive side
}

TEST(PhaseAtSample, NegativeOffsetsStayWithinOneCycleBelowZero) {
    sweep::SweepPlan plan(dialogueDefaults());
    plan.setToneFrequency(997);  // samples per cycle not whole
    for (std::int32_t n = -5000; n < 0; n += 7) {
        const double phase = plan.phaseAtSample(n);
        EXPECT_LE(phase, 0.0) << n;
        EXPECT_GT(phase, -2 * 3.141592653589793) << n;
    }
}

}  // namespace
}  // namespace auralyn
