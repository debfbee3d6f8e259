#include <gtest/gtest.h>

#include <cmath>

#include "sweep/parameter_file.h"
#include "sweep/sweep_plan.h"
#include "sweep_settings_check.h"

namespace auralyn {
namespace {

// Two records are the same when their encoded files are.
bool sameRecord(const sweep::SweepParameters& a, const sweep::SweepParameters& b) {
    return sweep::encodeParameters(a) == sweep::encodeParameters(b);
}

TEST(Constructor, HoldsPlaceholderValues) {
    const sweep::SweepPlan plan;
    const sweep::SweepParameters placeholders{
        .locked = false, .startFrequency = 1.0, .endFrequency = 1.0, .frequencyStep = 1.0, .minToneDuration = 0.0,
        .syncPulseDuration = 0.0, .settlingTime = 0.0, .maxTimeDrift = 0.0, .leadInTime = 0.0, .sampleRate = 1,
        .maxExtraSamples = 0, .maxFractionalCycle = 1.0, .toneFrequency = 1.0, .tonesPerSyncPulse = 0,
        .toneIndex = 0, .toneLength = 0, .octaveSweep = 0, .syncPulseLevel = 0.0, .syncThreshold = 0.0,
        .minCyclesPerTone = 0};
    test::expectSameSettings(plan.params(), placeholders);
    EXPECT_EQ(plan.params().toneFrequency, 1.0);
    EXPECT_EQ(plan.params().toneIndex, 0u);
    EXPECT_EQ(plan.params().toneLength, 0);
}

TEST(FrequencySetters, KeepStartAtOrBelowEnd) {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setEndFrequency(1000);
    plan.setStartFrequency(3000);
    EXPECT_EQ(plan.params().startFrequency, 3000.0);
    EXPECT_EQ(plan.params().endFrequency, 3000.0);

    plan.setStartFrequency(1000);
    plan.setEndFrequency(500);
    EXPECT_EQ(plan.params().startFrequency, 500.0);
    EXPECT_EQ(plan.params().endFrequency, 500.0);
}

TEST(FrequencySetters, DropValuesNotAboveZero) {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setEndFrequency(2000);
    plan.setStartFrequency(1000);
    plan.setFrequencyStep(10);
    const sweep::SweepParameters before = plan.params();
    plan.setStartFrequency(0);
    plan.setEndFrequency(-1);
    plan.setFrequencyStep(0);
    plan.setStartFrequency(std::nan(""));
    plan.setEndFrequency(std::nan(""));
    plan.setFrequencyStep(-3);
    EXPECT_TRUE(sameRecord(plan.params(), before));
}

TEST(FrequencySetters, RewindToToneZero) {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setMinToneDuration(0.02);
    plan.setEndFrequency(20000);
    plan.setStartFrequency(1000);
    EXPECT_EQ(plan.params().toneFrequency, 1000.0);
    EXPECT_EQ(plan.params().toneLength, 960);
    plan.nextTone();
    plan.setFrequencyStep(100);
    EXPECT_EQ(plan.params().toneIndex, 0u);
    plan.nextTone();
    plan.setOctaveSweep(1);
    EXPECT_EQ(plan.params().toneIndex, 0u);
    EXPECT_EQ(plan.params().octaveSweep, 1);
}

TEST(DurationSetters, DropNegativeKeepZero) {
    sweep::SweepPlan plan;
    plan.setMinToneDuration(0.5);
    plan.setMinToneDuration(-0.1);
    EXPECT_EQ(plan.params().minToneDuration, 0.5);
    plan.setMinToneDuration(0);
    EXPECT_EQ(plan.params().minToneDuration, 0.0);
    plan.setMinToneDuration(std::nan(""));
    EXPECT_EQ(plan.params().minToneDuration, 0.0);

    plan.setSyncPulseDuration(-1);
    plan.setSettlingTime(-1);
    plan.setMaxTimeDrift(-1);
    plan.setLeadInTime(-1);
    plan.setMaxFractionalCycle(-1);
    EXPECT_TRUE(sameRecord(plan.params(), [] {
        sweep::SweepParameters p;
        return p;
    }()));

    plan.setSyncPulseDuration(0.0002);
    plan.setSettlingTime(0.04);
    plan.setMaxTimeDrift(0.0002);
    plan.setLeadInTime(0.5);
    plan.setMaxFractionalCycle(0);
    EXPECT_EQ(plan.params().syncPulseDuration, 0.0002);
    EXPECT_EQ(plan.params().settlingTime, 0.04);
    EXPECT_EQ(plan.params().maxTimeDrift, 0.0002);
    EXPECT_EQ(plan.params().leadInTime, 0.5);
    EXPECT_EQ(plan.params().maxFractionalCycle, 0.0);
}

TEST(LevelSetters, ClampToPercentRange) {
    struct Level {
        void (sweep::SweepPlan::*set)(double);
        double sweep::SweepParameters::*stored;
    };
    struct Clamp {
        double given;
        double kept;
    };
    const Level levels[] = {{&sweep::SweepPlan::setSyncPulseLevel, &sweep::SweepParameters::syncPulseLevel},
                            {&sweep::SweepPlan::setSyncThreshold, &sweep::SweepParameters::syncThreshold}};
    const Clamp clamps[] = {{150, 100}, {-5, 0}, {90, 90}, {15, 15}, {std::nan(""), 0}};
    sweep::SweepPlan plan;
    for (const Level& level : levels) {
        for (const Clamp& clamp : clamps) {
            (plan.*level.set)(clamp.given);
            EXPECT_EQ(plan.params().*level.stored, clamp.kept) << clamp.given;
        }
    }
}

TEST(IntegerSetters, StoreAnyValue) {
    sweep::SweepPlan plan;
    plan.setSampleRate(96000);
    plan.setTonesPerSyncPulse(4294967295u);
    plan.setMinCyclesPerTone(200);
    plan.setMaxExtraSamples(3000);
    EXPECT_EQ(plan.params().sampleRate, 96000u);
    EXPECT_EQ(plan.params().tonesPerSyncPulse, 4294967295u);
    EXPECT_EQ(plan.params().minCyclesPerTone, 200u);
    EXPECT_EQ(plan.params().maxExtraSamples, 3000u);
}

TEST(Lock, FreezesEverySetter) {
    sweep::SweepPlan plan;
    plan.lock();
    const sweep::SweepParameters before = plan.params();
    plan.setSampleRate(48000);
    plan.setOctaveSweep(1);
    plan.setStartFrequency(100);
    plan.setEndFrequency(200);
    plan.setFrequencyStep(3);
    plan.setMinToneDuration(1);
    plan.setSyncPulseDuration(1);
    plan.setSettlingTime(1);
    plan.setMaxTimeDrift(1);
    plan.setLeadInTime(1);
    plan.setMaxFractionalCycle(0.5);
    plan.setTonesPerSyncPulse(4);
    plan.setMinCyclesPerTone(20);
    plan.setMaxExtraSamples(100);
    plan.setSyncPulseLevel(50);
    plan.setSyncThreshold(50);
    EXPECT_TRUE(plan.params().locked);
    EXPECT_TRUE(sameRecord(plan.params(), before));
}

}  // namespace
}  // namespace auralyn
