// The session's watch on its devices: the shortfall of an input's delivery
// against its clock, and the stall of a counter that a working device advances.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/session_parts.h"

namespace auralyn::audio {
namespace {

TEST(ClockShortfall, ToleratesBurstsAndClockDifferencesUpToTheLimit) {
    // 10 s at 48 kHz: 480000 frames expected, 2 % of them plus a quarter second tolerated.
    constexpr std::uint64_t kTolerated = 9600 + 12000;
    EXPECT_EQ(clockShortfall(10.0, 480000, 48000), 0u);
    EXPECT_EQ(clockShortfall(10.0, 480000 - kTolerated, 48000), 0u);
    EXPECT_EQ(clockShortfall(10.0, 480000 - kTolerated - 1, 48000), kTolerated + 1);
    // Delivering more than the clock says is a fast device clock, not a loss.
    EXPECT_EQ(clockShortfall(10.0, 600000, 48000), 0u);
}

TEST(ClockShortfall, CountsTheMissingFramesOfAnInputThatFellBehind) {
    EXPECT_EQ(clockShortfall(4.0, 88200, 44100), 88200u);
    EXPECT_EQ(clockShortfall(1.0, 0, 48000), 48000u);
}

TEST(ClockShortfall, JudgesNothingUnderOneSecond) {
    // Under a second, one burst of a slow device is as long as the whole span.
    EXPECT_EQ(clockShortfall(0.999, 0, 48000), 0u);
    EXPECT_EQ(clockShortfall(0.0, 0, 48000), 0u);
}

TEST(StallWatch, StandingStillLongerThanTheLimitIsAStall) {
    StallWatch watch;
    EXPECT_FALSE(watch.stalled(0, 10.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(watch.stalled(0, 0.01));
    EXPECT_FALSE(watch.stalled(0, 10.0));  // the same wait, a longer limit
}

TEST(StallWatch, AnyChangeOfTheCounterStartsTheWaitAgain) {
    StallWatch watch;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(watch.stalled(1, 0.01));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_TRUE(watch.stalled(1, 0.01));
    // A counter that goes back (a device reopened) is a change too.
    EXPECT_FALSE(watch.stalled(0, 0.01));
}

}  // namespace
}  // namespace auralyn::audio
