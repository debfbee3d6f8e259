// Whether a block holds one steady tone, as its halves' residuals tell: near
// 1 for a tone in steady noise, however loud; far above 10 where the block
// reaches into the next tone or holds a gap.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "clock/tone_frequency.h"

namespace auralyn::clock {
namespace {

constexpr double kRate = 48000.0;
constexpr double kTwoPi = 6.283185307179586;

// `count` samples of a tone at `hz`, then `tail` samples of another at
// `nextHz` (the neighbour a misplaced block reaches into), in white noise.
std::vector<std::int16_t> block(double hz, int count, double nextHz, int tail, double noiseSd, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, noiseSd);
    std::vector<std::int16_t> samples;
    for (int n = 0; n < count + tail; ++n) {
        const double f = n < count ? hz : nextHz;
        samples.push_back(static_cast<std::int16_t>(std::lround(20000.0 * std::sin(kTwoPi * f * n / kRate) + noise(random))));
    }
    return samples;
}

FrequencyEstimate estimate(const std::vector<std::int16_t>& samples, double hz) {
    return estimateFrequency(samples.data(), static_cast<std::int32_t>(samples.size()), hz, kRate);
}

TEST(HalvesResidual, NearOneForASteadyToneInSteadyNoise) {
    for (const double noiseSd : {3.0, 30.0, 300.0}) {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            const FrequencyEstimate e = estimate(block(1000.0, 4800, 0.0, 0, noiseSd, seed), 1000.0);
            ASSERT_TRUE(e.valid);
            EXPECT_GE(e.halvesResidualRatio, 1.0);
            EXPECT_LT(e.halvesResidualRatio, 1.3) << noiseSd << " seed " << seed;
        }
    }
    // Below the rounding both halves sit at its floor.
    EXPECT_NEAR(estimate(block(1000.0, 4800, 0.0, 0, 0.0, 1), 1000.0).halvesResidualRatio, 1.0, 0.3);
}

TEST(HalvesResidual, FarAboveTenWhereTheBlockReachesIntoTheNextTone) {
    // 63 samples of the next tone (a quarter-tone up) at the end of the block.
    const FrequencyEstimate spilt = estimate(block(1000.0, 4737, 1029.0, 63, 10.0, 3), 1000.0);
    ASSERT_TRUE(spilt.valid);
    EXPECT_GT(spilt.halvesResidualRatio, 100.0);
    // A gap of 200 zeros in the first half.
    std::vector<std::int16_t> gapped = block(1000.0, 4800, 0.0, 0, 10.0, 4);
    std::fill(gapped.begin() + 1000, gapped.begin() + 1200, std::int16_t{0});
    EXPECT_GT(estimate(gapped, 1000.0).halvesResidualRatio, 100.0);
}

}  // namespace
}  // namespace auralyn::clock
