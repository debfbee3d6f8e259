// The steps of `auralyn process` together: their order and the columns they add.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "known_responses.h"
#include "response/processing.h"
#include "response/response_table.h"

namespace auralyn::response {
namespace {

std::size_t columnIndex(const Response& r, const std::string& name) {
    const auto at = std::find(r.extraColumns.begin(), r.extraColumns.end(), name);
    EXPECT_NE(at, r.extraColumns.end()) << name;
    return static_cast<std::size_t>(at - r.extraColumns.begin());
}

Response delayedLowpass(double seconds) {
    return test::sampled(test::logTones(48), [seconds](double f) {
        return test::analogLowpass(f, 4000.0, 0.7) * std::polar(1.0, -2.0 * kPi * f * seconds);
    });
}

TEST(Process, FindsTheDelayBeforeSmoothingAndAddsTheDerivedColumns) {
    ProcessOptions options;
    options.delay = DelayChoice::automatic;
    options.smoothing = Smoothing{6, SmoothingMode::complex, false};
    options.minimumPhase = true;
    const Processed p = process(delayedLowpass(3e-3), options);
    ASSERT_TRUE(p.delayFound);
    EXPECT_NEAR(p.delayFound->seconds, 3e-3, 1e-6);
    EXPECT_NEAR(p.response.delayRemoved, 3e-3, 1e-6);
    EXPECT_EQ(p.response.extraColumns,
              (std::vector<std::string>{"group_delay_ms", "min_phase_deg", "excess_phase_deg", "excess_group_delay_ms"}));
    // With the flight taken out first, complex smoothing keeps the low-pass
    // (3 ms of flight would cancel the treble in a sixth of an octave), and
    // what is left beyond its minimum phase is small.
    const std::size_t excess = columnIndex(p.response, "excess_phase_deg");
    const std::size_t excessDelay = columnIndex(p.response, "excess_group_delay_ms");
    for (const Tone& tone : p.response.tones) {
        if (tone.frequency < 40.0 || tone.frequency > 10000.0) continue;
        EXPECT_NEAR(tone.magnitudeDb(), decibels(std::abs(test::analogLowpass(tone.frequency, 4000.0, 0.7))), 0.2)
            << tone.frequency;
        EXPECT_NEAR(*tone.extra[excess], 0.0, 2.0) << tone.frequency;
        EXPECT_NEAR(*tone.extra[excessDelay], 0.0, 0.005) << tone.frequency;
    }
}

TEST(Process, AGivenDelayIsRemovedAndTheLogGridTakesEveryColumn) {
    ProcessOptions options;
    options.delay = DelayChoice::given;
    options.delaySeconds = 1e-3;
    options.pointsPerOctave = 3;
    const Processed p = process(delayedLowpass(1e-3), options);
    EXPECT_FALSE(p.delayFound);
    EXPECT_EQ(p.response.tones.size(), 29u);  // 1 kHz·2^(k/3) for k = -16..12 within the tones (20.2 Hz – 19.7 kHz)
    const std::size_t delay = columnIndex(p.response, "group_delay_ms");
    for (const Tone& tone : p.response.tones)
        EXPECT_NEAR(*tone.extra[delay], 1000.0 * test::analogAllpassDelay(tone.frequency, 4000.0, 0.7) / 2.0, 0.01)
            << tone.frequency;  // a second-order low-pass has half the group delay of the all-pass of its poles
}

TEST(Process, PhaseColumnsAreWrappedWithThePhaseUnlessContinuousIsAsked) {
    ProcessOptions options;
    options.minimumPhase = true;
    const Processed p = process(delayedLowpass(5e-3), options);
    const std::vector<Column> wrapped = responseColumns(p.response, false);
    const std::vector<Column> continuous = responseColumns(p.response, true);
    for (std::size_t c = 0; c < wrapped.size(); ++c) {
        if (wrapped[c].name != "excess_phase_deg" && wrapped[c].name != "phase_deg") continue;
        double largest = 0.0;
        for (const auto& v : wrapped[c].values) EXPECT_LE(std::abs(*v), 180.0);
        for (const auto& v : continuous[c].values) largest = std::max(largest, std::abs(*v));
        EXPECT_GT(largest, 1000.0) << wrapped[c].name;
    }
}

}  // namespace
}  // namespace auralyn::response
