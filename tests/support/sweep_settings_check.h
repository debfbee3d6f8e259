#pragma once

#include <gtest/gtest.h>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// Every setting of `actual` as in `expected`, field by field so that a failure
// names the field. The run-time fields (the current tone) are left out.
inline void expectSameSettings(const sweep::SweepParameters& actual, const sweep::SweepParameters& expected) {
    EXPECT_EQ(actual.locked, expected.locked);
    EXPECT_EQ(actual.sampleRate, expected.sampleRate);
    EXPECT_EQ(actual.octaveSweep, expected.octaveSweep);
    EXPECT_EQ(actual.startFrequency, expected.startFrequency);
    EXPECT_EQ(actual.endFrequency, expected.endFrequency);
    EXPECT_EQ(actual.frequencyStep, expected.frequencyStep);
    EXPECT_EQ(actual.minToneDuration, expected.minToneDuration);
    EXPECT_EQ(actual.settlingTime, expected.settlingTime);
    EXPECT_EQ(actual.tonesPerSyncPulse, expected.tonesPerSyncPulse);
    EXPECT_EQ(actual.maxExtraSamples, expected.maxExtraSamples);
    EXPECT_EQ(actual.syncPulseLevel, expected.syncPulseLevel);
    EXPECT_EQ(actual.maxTimeDrift, expected.maxTimeDrift);
    EXPECT_EQ(actual.minCyclesPerTone, expected.minCyclesPerTone);
    EXPECT_EQ(actual.maxFractionalCycle, expected.maxFractionalCycle);
    EXPECT_EQ(actual.syncThreshold, expected.syncThreshold);
    EXPECT_EQ(actual.syncPulseDuration, expected.syncPulseDuration);
    EXPECT_EQ(actual.leadInTime, expected.leadInTime);
}

}  // namespace auralyn::test
