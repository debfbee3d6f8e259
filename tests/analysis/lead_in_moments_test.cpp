// The lead-in's noise fits from the blocks' moments against the same fits made
// block by block: a DC offset, hum and noise, at many frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/lead_in_noise.h"

namespace {

using namespace auralyn::analysis;

std::vector<auralyn::analysis::Sample> humAndNoise(std::size_t count) {
    std::mt19937 random(17);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<auralyn::analysis::Sample> samples(count);
    for (std::size_t n = 0; n < count; ++n)
        samples[n] = static_cast<std::int16_t>(std::lround(120.0 + 400.0 * std::sin(0.00654 * n) + noise(random)));
    return samples;
}

TEST(LeadInMoments, GiveTheBlockByBlockNoiseAtEveryFrequency) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(24000);
    const LeadInSpan shared{leadIn.data(), leadIn.size()};
    for (int tone = 1; tone < 400; ++tone) {
        const double cyclesPerSample = 0.0011 * tone;
        // A fresh span has no moments yet: its fit is made block by block.
        const LeadInSpan fresh{leadIn.data(), leadIn.size()};
        const auto direct = measureLeadInNoise(fresh, 4800, cyclesPerSample);
        const auto fromMoments = measureLeadInNoise(shared, 4800, cyclesPerSample);
        ASSERT_TRUE(direct && fromMoments);
        EXPECT_NEAR(fromMoments->variance, direct->variance, 1e-9 * direct->variance) << cyclesPerSample;
        EXPECT_EQ(fromMoments->blocks, direct->blocks);
    }
}

TEST(LeadInMoments, SilenceStaysAtTheRoundingFloor) {
    const std::vector<auralyn::analysis::Sample> silence(24000, 0);
    const LeadInSpan span{silence.data(), silence.size()};
    for (int tone = 1; tone < 200; ++tone) {
        const auto noise = measureLeadInNoise(span, 4800, 0.002 * tone);
        ASSERT_TRUE(noise);
        EXPECT_TRUE(noise->quantizationLimited);
    }
}

}  // namespace
