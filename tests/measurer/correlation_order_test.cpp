// echoprobe's report is its arithmetic: the tone analyzer must give, bit for
// bit, what a plain sample-by-sample correlation gives with the same angles,
// sines and order of additions, whatever pieces and halves it works in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "measurer/tone_analyzer.h"
#include "plain_correlation.h"

namespace auralyn {
namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<std::int16_t> noisyTone(std::size_t count, double frequency, std::uint32_t rate, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-3000, 3000);
    std::vector<std::int16_t> block(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double tone = 28000.0 * std::sin(kTwoPi * frequency * static_cast<double>(i) / rate + 0.3);
        block[i] = static_cast<std::int16_t>(std::clamp(std::lround(tone) + noise(random), -32768L, 32767L));
    }
    return block;
}

TEST(CorrelationOrder, PiecesAndHalvesGiveThePlainSumsBitForBit) {
    for (std::uint32_t rate : {44100u, 48000u, 96000u}) {
        for (double frequency : {17.3, 1000.0, 9999.7, 21000.0}) {
            for (std::size_t count : {1u, 2u, 3u, 127u, 128u, 129u, 255u, 256u, 257u, 1001u, 4801u}) {
                const std::vector<std::int16_t> block = noisyTone(count, frequency, rate, static_cast<unsigned>(count));
                measurer::ToneAnalyzer analyzer(block.data());
                analyzer.setSampleRate(rate);
                analyzer.setTone(frequency, static_cast<std::int32_t>(count));
                const test::PlainMeasurement plain = test::plainCorrelation(block, frequency, rate);
                EXPECT_EQ(analyzer.amplitude(), plain.amplitude) << rate << " " << frequency << " " << count;
                EXPECT_EQ(analyzer.phase(), plain.phase) << rate << " " << frequency << " " << count;
            }
        }
    }
}

// The halves' sums the clock warning takes from the same pass: the samples'
// sums exact, the correlations those of each half, the origin the block's start.
TEST(CorrelationOrder, HalvesSumsAreThoseOfEachHalf) {
    const std::uint32_t rate = 48000;
    for (std::size_t count : {1u, 2u, 129u, 4801u}) {
        const double frequency = 3217.0;
        std::vector<std::int16_t> block = noisyTone(count, frequency, rate, 5);
        block[0] = -32768;
        measurer::ToneAnalyzer analyzer(block.data());
        analyzer.setSampleRate(rate);
        analyzer.setTone(frequency, static_cast<std::int32_t>(count));
        const clock::HalvesSums& halves = analyzer.halvesSums();
        EXPECT_NEAR(halves.omega, kTwoPi * frequency / rate, 1e-16);
        const std::size_t firstCount = count / 2;
        for (int half = 0; half < 2; ++half) {
            const std::size_t from = half == 0 ? 0 : firstCount;
            const std::size_t to = half == 0 ? firstCount : count;
            std::int64_t sum = 0, squares = 0;
            long double re = 0, im = 0, scale = 1;
            for (std::size_t k = from; k < to; ++k) {
                sum += block[k];
                squares += std::int64_t{block[k]} * block[k];
                const long double angle = static_cast<long double>(halves.omega) * static_cast<long double>(k);
                re += block[k] * std::cos(angle);
                im += block[k] * std::sin(angle);
                scale += std::abs(block[k]);
            }
            const clock::BlockSums& got = half == 0 ? halves.first : halves.second;
            EXPECT_EQ(got.sampleSum, static_cast<double>(sum)) << count << " " << half;
            EXPECT_EQ(got.squareSum, static_cast<double>(squares)) << count << " " << half;
            EXPECT_NEAR(got.correlation.real(), static_cast<double>(re), 1e-12 * static_cast<double>(scale)) << count;
            EXPECT_NEAR(got.correlation.imag(), static_cast<double>(im), 1e-12 * static_cast<double>(scale)) << count;
        }
    }
}

}  // namespace
}  // namespace auralyn
