// The lead-in's noise fits from the blocks' moments against the same fits made
// block by block: a DC offset, hum and noise, at many frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
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


// The moments by their definitions in 64-bit integers: sum over the blocks
// of y[i] y[i + k], of y[i] y[j] at i + j, of S y[i], and of S^2.
struct ExactMoments {
    std::vector<std::int64_t> lags, squares, withSum;
    std::int64_t sumSquared = 0;
};

ExactMoments exactMoments(const std::vector<std::int64_t>& codes, std::size_t length, std::size_t blocks) {
    ExactMoments m{std::vector<std::int64_t>(length), std::vector<std::int64_t>(2 * length - 1),
                   std::vector<std::int64_t>(length)};
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::int64_t* y = codes.data() + codes.size() - (b + 1) * length;
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < length; ++i) sum += y[i];
        m.sumSquared += sum * sum;
        for (std::size_t i = 0; i < length; ++i) {
            m.withSum[i] += sum * y[i];
            for (std::size_t j = 0; j < length; ++j) {
                m.squares[i + j] += y[i] * y[j];
                if (j >= i) m.lags[j - i] += y[i] * y[j];
            }
        }
    }
    return m;
}

TEST(LeadInMoments, OfSixteenBitCodesAreTheExactIntegers) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> code(-32768, 32767);
    // Full-scale runs among random codes; a block count that fills no whole group of lanes.
    for (const auto& [length, blocks] : {std::pair<std::size_t, std::size_t>{37, 13}, {64, 128}, {5, 1}}) {
        std::vector<std::int64_t> codes(length * blocks + 11);
        for (std::size_t n = 0; n < codes.size(); ++n) codes[n] = n % 7 == 0 ? (n % 2 ? 32767 : -32768) : code(random);
        const std::vector<Sample> samples(codes.begin(), codes.end());
        const LeadInMoments m = leadInMoments(samples.data() + samples.size(), length, blocks);
        const ExactMoments exact = exactMoments(codes, length, blocks);
        ASSERT_EQ(m.lags.size(), length);
        ASSERT_EQ(m.squares.size(), 2 * length - 1);
        for (std::size_t k = 0; k < length; ++k) {
            EXPECT_EQ(m.lags[k], static_cast<double>(exact.lags[k])) << k;
            EXPECT_EQ(m.withSum[k], static_cast<double>(exact.withSum[k])) << k;
        }
        for (std::size_t k = 0; k < m.squares.size(); ++k) EXPECT_EQ(m.squares[k], static_cast<double>(exact.squares[k])) << k;
        EXPECT_EQ(m.sumSquared, static_cast<double>(exact.sumSquared));
    }
}

TEST(LeadInMoments, OfFinerSamplesAgreeWithTheCodesToRounding) {
    std::vector<Sample> samples = humAndNoise(64 * 40);
    const LeadInMoments codes = leadInMoments(samples.data() + samples.size(), 64, 40);
    samples[samples.size() - 3] += 0.25f;  // one sample off the 16-bit grid: the general sums
    const LeadInMoments finer = leadInMoments(samples.data() + samples.size(), 64, 40);
    for (std::size_t k = 0; k < codes.lags.size(); ++k)
        EXPECT_NEAR(finer.lags[k], codes.lags[k], 1e-6 * codes.lags[0] + 2e4) << k;
    EXPECT_NE(finer.lags[0], codes.lags[0]);
}

}  // namespace
