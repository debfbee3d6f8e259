#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sweep/sweep_plan.h"

namespace auralyn {
namespace {

TEST(RoundHalfAway, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(sweep::roundHalfAway(2.5), 3.0);
    EXPECT_EQ(sweep::roundHalfAway(-2.5), -3.0);
    EXPECT_EQ(sweep::roundHalfAway(2.4999), 2.0);
    EXPECT_EQ(sweep::roundHalfAway(-2.4999), -2.0);
    EXPECT_EQ(sweep::roundHalfAway(0.0), 0.0);
    EXPECT_EQ(sweep::roundHalfAway(886.3657), 886.0);
}

TEST(PercentToAmplitude, TruncatesAndLimits) {
    EXPECT_EQ(sweep::percentToAmplitude(100), 32767);
    EXPECT_EQ(sweep::percentToAmplitude(90), 29490);
    EXPECT_EQ(sweep::percentToAmplitude(50), 16383);
    EXPECT_EQ(sweep::percentToAmplitude(15), 4915);
    EXPECT_EQ(sweep::percentToAmplitude(10), 3276);
    EXPECT_EQ(sweep::percentToAmplitude(0), 0);
    EXPECT_EQ(sweep::percentToAmplitude(-200), -32767);
    EXPECT_EQ(sweep::percentToAmplitude(150), 32767);
    EXPECT_EQ(sweep::percentToAmplitude(-10), -3276);
}

TEST(PercentToAmplitude, SurvivesValuesNoSampleCanHold) {
    EXPECT_EQ(sweep::percentToAmplitude(1e300), 32767);
    EXPECT_EQ(sweep::percentToAmplitude(-std::numeric_limits<double>::infinity()), -32767);
    EXPECT_EQ(sweep::percentToAmplitude(std::nan("")), 0);
}

TEST(FractionalCycle, DistanceToNearestWholeCycle) {
    EXPECT_NEAR(sweep::SweepPlan::fractionalCycle(3.2), 0.2, 1e-12);
    EXPECT_NEAR(sweep::SweepPlan::fractionalCycle(3.8), 0.2, 1e-12);
    EXPECT_EQ(sweep::SweepPlan::fractionalCycle(3.5), 0.5);
    EXPECT_EQ(sweep::SweepPlan::fractionalCycle(4.0), 0.0);
    EXPECT_EQ(sweep::SweepPlan::fractionalCycle(0.75), 0.25);
}

}  // namespace
}  // namespace auralyn
