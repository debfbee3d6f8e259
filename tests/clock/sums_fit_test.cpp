// The sine fit and the frequency estimate fed with sums a caller gathered
// itself (echoprobe's walk does): the same answers as from the samples.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "clock/sine_fit.h"
#include "clock/tone_frequency.h"

namespace auralyn::clock {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// The sums written out plainly, in extended precision, time origin firstTime.
BlockSums plainSums(const std::int16_t* samples, std::int32_t count, double firstTime, double omega) {
    long double sum = 0, squares = 0, re = 0, im = 0;
    for (std::int32_t k = 0; k < count; ++k) {
        const long double y = samples[k];
        const long double angle = static_cast<long double>(omega) * (k + static_cast<long double>(firstTime));
        sum += y;
        squares += y * y;
        re += y * std::cos(angle);
        im += y * std::sin(angle);
    }
    return BlockSums{static_cast<double>(sum), static_cast<double>(squares),
                     std::complex<double>(static_cast<double>(re), static_cast<double>(im))};
}

std::vector<std::int16_t> noisyTone(std::int32_t count, double omega, double amplitude, double phase, double offset,
                                    double noise, unsigned seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> gauss(0.0, noise);
    std::vector<std::int16_t> out(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k)
        out[static_cast<std::size_t>(k)] =
            static_cast<std::int16_t>(std::lround(amplitude * std::sin(omega * k + phase) + offset + gauss(random)));
    return out;
}

TEST(SineFitFromSums, AgreesWithTheFitOverTheSamples) {
    struct Case {
        std::int32_t count;
        double omega, firstTime, amplitude, offset, noise;
    };
    for (const Case& c : {Case{463, kTwoPi * 1000.0 / 44100.0, 0.37, 10000.0, 120.0, 0.0},
                          Case{4801, kTwoPi * 19999.0 / 48000.0, 2400.0, 30000.0, -3.0, 30.0},
                          Case{97, kTwoPi * 20.0 / 8000.0, 0.0, 2000.0, 0.0, 200.0},
                          Case{20000, 1e-3, 10000.0, 500.0, 40.0, 5.0}}) {
        const std::vector<std::int16_t> block = noisyTone(c.count, c.omega, c.amplitude, 0.9, c.offset, c.noise, 3);
        const SineFit direct = fitSine(block.data(), c.count, c.firstTime, c.omega);
        const SineFit summed = fitSine(plainSums(block.data(), c.count, c.firstTime, c.omega), c.count, c.firstTime, c.omega);
        ASSERT_TRUE(direct.solved && summed.solved) << c.count;
        EXPECT_EQ(summed.count, c.count);
        EXPECT_NEAR(summed.amplitude(), direct.amplitude(), 1e-8 * c.amplitude) << c.count;
        EXPECT_NEAR(summed.phase(), direct.phase(), 1e-9) << c.count;
        EXPECT_NEAR(summed.offset, direct.offset, 1e-6) << c.count;
        EXPECT_NEAR(summed.residualSquares, direct.residualSquares, 1e-6 * (direct.residualSquares + c.count)) << c.count;
    }
    // Too few samples: no fit, as from the samples.
    const std::vector<std::int16_t> two = {100, -100};
    EXPECT_FALSE(fitSine(plainSums(two.data(), 2, 0.0, 1.0), 2, 0.0, 1.0).solved);
}

// A worked value: sums of an exact tone in closed form give it back.
TEST(SineFitFromSums, ExactSumsOfAKnownToneGiveItBack) {
    const std::int32_t n = 1000;
    const double omega = kTwoPi * 0.0137;
    long double re = 0, im = 0, sum = 0, squares = 0;
    for (std::int32_t k = 0; k < n; ++k) {
        const long double y = 250.0L + 3000.0L * std::sin(static_cast<long double>(omega) * k + 0.7L);
        sum += y;
        squares += y * y;
        re += y * std::cos(static_cast<long double>(omega) * k);
        im += y * std::sin(static_cast<long double>(omega) * k);
    }
    const BlockSums sums{static_cast<double>(sum), static_cast<double>(squares),
                         std::complex<double>(static_cast<double>(re), static_cast<double>(im))};
    const SineFit fit = fitSine(sums, n, 0.0, omega);
    ASSERT_TRUE(fit.solved);
    EXPECT_NEAR(fit.amplitude(), 3000.0, 1e-6);
    EXPECT_NEAR(fit.phase(), 0.7, 1e-9);
    EXPECT_NEAR(fit.offset, 250.0, 1e-6);
    EXPECT_NEAR(fit.residualSquares, 0.0, 1e-3 * n);
}

HalvesSums halvesOf(const std::vector<std::int16_t>& block, double omega) {
    const auto count = static_cast<std::int32_t>(block.size());
    const std::int32_t firstCount = count / 2;
    HalvesSums h;
    h.omega = omega;
    h.first = plainSums(block.data(), firstCount, 0.0, omega);
    h.second = plainSums(block.data() + firstCount, count - firstCount, firstCount, omega);
    return h;
}

// The estimate started from the caller's sums: the same frequency, standard
// error and verdict, on the nominal frequency, off it (where it reads the
// block again), in noise and on no tone at all.
TEST(FrequencyEstimateFromSums, GivesTheEstimateOfTheSamples) {
    const double rate = 48000.0;
    struct Case {
        double nominal, ppm, amplitude, noise;
        std::int32_t count;
    };
    for (const Case& c : {Case{1000.0, 0.0, 20000.0, 0.0, 4800}, Case{15000.0, 30.0, 30000.0, 3.0, 961},
                          Case{250.0, -500.0, 8000.0, 100.0, 9601}, Case{19000.0, 1500.0, 30000.0, 1.0, 2000},
                          Case{3000.0, 0.0, 0.0, 300.0, 4800}}) {
        const double actual = c.nominal / (1.0 + c.ppm * 1e-6);
        const std::vector<std::int16_t> block =
            noisyTone(c.count, kTwoPi * actual / rate, c.amplitude, 0.4, 0.0, c.noise, 11);
        const FrequencyEstimate direct = estimateFrequency(block.data(), c.count, c.nominal, rate);
        const FrequencyEstimate summed =
            estimateFrequency(block.data(), c.count, c.nominal, rate, halvesOf(block, kTwoPi * c.nominal / rate));
        EXPECT_EQ(summed.valid, direct.valid) << c.nominal;
        if (!direct.valid) continue;
        EXPECT_NEAR(summed.frequency, direct.frequency, 1e-3 * direct.standardError + 1e-9 * c.nominal) << c.nominal;
        EXPECT_NEAR(summed.standardError, direct.standardError, 1e-6 * direct.standardError) << c.nominal;
        EXPECT_NEAR(summed.amplitude, direct.amplitude, 1e-6 * c.amplitude) << c.nominal;
        EXPECT_NEAR(summed.frequency, actual, 5.0 * summed.standardError + 1e-9 * c.nominal) << c.nominal;
    }
}

}  // namespace
}  // namespace auralyn::clock
