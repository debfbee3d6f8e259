// The clock library's parts on their own: the sine fit, the frequency
// estimate with its standard error, and the combination into one figure.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "clock/clock_figure.h"
#include "clock/sine_fit.h"
#include "clock/tone_frequency.h"

namespace auralyn::clock {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// amplitude * sin(omega (k + firstTime) + phase) + offset, rounded, plus noise.
std::vector<std::int16_t> tone(std::int32_t count, double omega, double amplitude, double phase, double firstTime,
                               double offset = 0.0, double noise = 0.0, unsigned seed = 1) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<std::int16_t> out(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
        const double v = amplitude * std::sin(omega * (k + firstTime) + phase) + offset + noise * gauss(random);
        out[k] = static_cast<std::int16_t>(std::lround(v));
    }
    return out;
}

TEST(SineFit, RecoversAmplitudePhaseAndOffsetAtAFractionalOrigin) {
    // 10.5 cycles, time origin 0.37 samples before the first sample, a DC
    // offset: the three-parameter fit has none of the correlation's bias.
    const double omega = kTwoPi * 1000.0 / 44100.0;
    const std::vector<std::int16_t> block = tone(463, omega, 10000.0, 0.3, 0.37, 120.0);
    const SineFit fit = fitSine(block.data(), 463, 0.37, omega);
    ASSERT_TRUE(fit.solved);
    EXPECT_NEAR(fit.amplitude(), 10000.0, 0.05);
    EXPECT_NEAR(fit.phase(), 0.3, 1e-5);
    EXPECT_NEAR(fit.offset, 120.0, 0.05);
    EXPECT_NEAR(fit.residualSquares / 463, 1.0 / 12.0, 0.03);  // the rounding alone
}

TEST(SineFit, LongBlocksStayExactAcrossReseeds) {
    // 200000 samples: the recurrence is re-seeded, so no error builds up.
    const double omega = kTwoPi * 15011.3 / 48000.0;
    const std::vector<std::int16_t> block = tone(200000, omega, 30000.0, -2.0, 0.5);
    const SineFit fit = fitSine(block.data(), 200000, 0.5, omega);
    EXPECT_NEAR(fit.amplitude(), 30000.0, 0.01);
    EXPECT_NEAR(fit.phase(), -2.0, 1e-6);
}

TEST(SineFit, DegenerateInputs) {
    const std::vector<std::int16_t> zeros(100, 0);
    const SineFit silent = fitSine(zeros.data(), 100, 0.0, 0.3);
    EXPECT_TRUE(silent.solved);
    EXPECT_EQ(silent.amplitude(), 0.0);
    EXPECT_EQ(silent.phase(), 0.0);
    EXPECT_FALSE(fitSine(zeros.data(), 2, 0.0, 0.3).solved);
    EXPECT_FALSE(fitSine(static_cast<const std::int16_t*>(nullptr), 100, 0.0, 0.3).solved);
    EXPECT_FALSE(fitSine(static_cast<const float*>(nullptr), 100, 0.0, 0.3).solved);
    EXPECT_FALSE(fitSine(zeros.data(), 100, 0.0, 0.0).solved);  // a sine of frequency 0 is no sine
}

TEST(FrequencyEstimate, FindsOffsetsWellBeyondAThousandPpm) {
    for (double ppm : {-3000.0, -1000.0, -20.0, 0.0, 50.0, 1000.0, 3000.0}) {
        const double f = 1000.0 / (1.0 + ppm * 1e-6);
        const std::vector<std::int16_t> block = tone(960, kTwoPi * f / 48000.0, 32000.0, 1.0, 0.0);
        const FrequencyEstimate e = estimateFrequency(block.data(), 960, 1000.0, 48000.0);
        ASSERT_TRUE(e.valid) << ppm;
        EXPECT_NEAR(e.frequency, f, 5e-5) << ppm;
        EXPECT_NEAR(e.amplitude, 32000.0, 0.5);
    }
}

TEST(FrequencyEstimate, StandardErrorMatchesTheScatter) {
    // 400 blocks in noise: the normalised errors have unit spread and 95 % of
    // them lie within 1.96.
    const double f = 2345.6;
    double sumSquares = 0;
    int within = 0;
    const int trials = 400;
    for (int t = 0; t < trials; ++t) {
        const std::vector<std::int16_t> block = tone(1200, kTwoPi * f / 48000.0, 3000.0, 0.1 * t, 0.0, 0.0, 300.0, t);
        const FrequencyEstimate e = estimateFrequency(block.data(), 1200, f * 1.0001, 48000.0);
        ASSERT_TRUE(e.valid);
        const double z = (e.frequency - f) / e.standardError;
        sumSquares += z * z;
        within += std::fabs(z) <= 1.96;
    }
    EXPECT_NEAR(std::sqrt(sumSquares / trials), 1.0, 0.12);
    EXPECT_GE(within, 0.92 * trials);
}

TEST(FrequencyEstimate, NoToneNoEstimate) {
    const std::vector<std::int16_t> silence(960, 0);
    EXPECT_FALSE(estimateFrequency(silence.data(), 960, 1000.0, 48000.0).valid);
    const std::vector<std::int16_t> noise = tone(960, 0.1, 0.0, 0.0, 0.0, 0.0, 3000.0);
    EXPECT_FALSE(estimateFrequency(noise.data(), 960, 1000.0, 48000.0).valid);
    // A loud tone a third of an octave away is not the one expected.
    const std::vector<std::int16_t> other = tone(960, kTwoPi * 1260.0 / 48000.0, 30000.0, 0.0, 0.0);
    EXPECT_FALSE(estimateFrequency(other.data(), 960, 1000.0, 48000.0).valid);
    EXPECT_FALSE(estimateFrequency(silence.data(), 10, 1000.0, 48000.0).valid);
    EXPECT_FALSE(estimateFrequency(silence.data(), 960, 30000.0, 48000.0).valid);
}

TEST(ClockFigure, WeightedMeanOfAgreeingTones) {
    const ClockFigure f = combineObservations({{200.0, 1.0}, {202.0, 2.0}, {199.0, 1.0}, {201.0, 1.0}}, 4);
    EXPECT_EQ(f.verdict, ClockVerdict::Measured);
    // Weights 1, 1/4, 1, 1: mean (200 + 50.5 + 199 + 201) / 3.25.
    EXPECT_NEAR(f.ppm, 650.5 / 3.25, 1e-3);
    EXPECT_EQ(f.agreeing, 4u);
    // chi^2 ~ 2.92 on 3 degrees of freedom: Birge ~ 0.99, so the internal
    // u = 1/sqrt(3.25) counts, expanded with the normal 1.96.
    EXPECT_NEAR(f.birgeRatio, 0.987, 2e-3);
    EXPECT_NEAR(f.u95, 1.96 / std::sqrt(3.25), 1e-3);
}

TEST(ClockFigure, ScatterBeyondTheErrorsWidensTheInterval) {
    std::vector<ClockObservation> scattered;
    for (int i = 0; i < 10; ++i) scattered.push_back({50.0 + (i % 2 == 0 ? 0.3 : -0.3), 0.1});
    const ClockFigure f = combineObservations(scattered, 10);
    EXPECT_EQ(f.verdict, ClockVerdict::Measured);
    EXPECT_NEAR(f.ppm, 50.0, 1e-9);
    const double sigma = std::hypot(0.1, 0.005);  // with the floor every tone carries
    EXPECT_NEAR(f.birgeRatio, 0.3 / sigma * std::sqrt(10.0 / 9.0), 1e-6);
    EXPECT_NEAR(f.u95, 2.262 * f.birgeRatio * sigma / std::sqrt(10.0), 1e-3);
    // Ten times their errors and more: no one ratio.
    for (ClockObservation& o : scattered) o.ppm = 50.0 + (o.ppm - 50.0) * 5.0;
    EXPECT_EQ(combineObservations(scattered, 10).verdict, ClockVerdict::Disagree);
}

TEST(ClockFigure, TheFloorCountsOnlyWhereTheCallerLeavesItToTheFigure) {
    // Forty long tones of 0.001 ppm each that agree to their errors: the
    // floor of 0.005 ppm per tone would set the interval at five times what
    // the tones support, 1.96 x 0.005 / sqrt(40) against 1.96 x 0.001 / sqrt(40).
    std::vector<ClockObservation> precise;
    for (int i = 0; i < 40; ++i) precise.push_back({150.0 + (i % 2 == 0 ? 0.0009 : -0.0009), 0.001});
    const ClockFigure floored = combineObservations(precise, 40);
    EXPECT_NEAR(floored.u95, 1.96 * std::hypot(0.001, kToneFloorPpm) / std::sqrt(40.0), 1e-5);
    const ClockFigure plain = combineObservations(precise, 40, 0.0);
    EXPECT_NEAR(plain.ppm, 150.0, 1e-9);
    EXPECT_NEAR(plain.u95, 1.96 * 0.001 / std::sqrt(40.0), 1e-5);
}

TEST(ClockFigure, OutliersAreLeftOutButTooFewAgreeingIsNoFigure) {
    std::vector<ClockObservation> mostly = {{10, 0.1}, {10.05, 0.1}, {9.95, 0.1}, {10, 0.1}, {400, 1}, {-700, 5}};
    const ClockFigure f = combineObservations(mostly, 6);
    EXPECT_EQ(f.verdict, ClockVerdict::Measured);
    EXPECT_EQ(f.agreeing, 4u);
    EXPECT_NEAR(f.ppm, 10.0, 1e-9);
    // The same four among 20 tones looked at, 14 of them without a tone.
    EXPECT_EQ(combineObservations(mostly, 20).verdict, ClockVerdict::Disagree);
    EXPECT_EQ(combineObservations({{10, 0.1}, {10, 0.1}}, 2).verdict, ClockVerdict::Disagree);
    EXPECT_EQ(combineObservations({}, 0).verdict, ClockVerdict::Disagree);
    // Scattered everywhere: no ratio shared by enough of them.
    std::vector<ClockObservation> random;
    for (int i = 0; i < 30; ++i) random.push_back({std::sin(i * 7.7) * 3000.0, 1.0});
    EXPECT_EQ(combineObservations(random, 30).verdict, ClockVerdict::Disagree);
}

TEST(ClockFigure, BeyondTheRangeOnlyWhenTheWholeIntervalIs) {
    EXPECT_EQ(combineObservations({{1500, 1}, {1500, 1}, {1501, 1}}, 3).verdict, ClockVerdict::OutOfRange);
    EXPECT_EQ(combineObservations({{-1500, 1}, {-1500, 1}, {-1501, 1}}, 3).verdict, ClockVerdict::OutOfRange);
    EXPECT_EQ(combineObservations({{1000.5, 1}, {1000.4, 1}, {1000.6, 1}}, 3).verdict, ClockVerdict::Measured);
}

TEST(ClockFigure, StudentQuantiles) {
    EXPECT_NEAR(studentT95(1), 12.706, 1e-3);
    EXPECT_NEAR(studentT95(10), 2.228, 1e-3);
    EXPECT_NEAR(studentT95(40), 2.021, 2e-3);
    EXPECT_NEAR(studentT95(120), 1.980, 2e-3);
    EXPECT_NEAR(studentT95(100000), 1.960, 1e-3);
    EXPECT_TRUE(std::isinf(studentT95(0)));
}

TEST(ClockFigure, ObservationsFromTonesAndPulses) {
    const ClockObservation t = observationFromTone(1000.0, 1000.0 / 1.00002, 0.001);
    EXPECT_NEAR(t.ppm, 20.0, 1e-6);
    EXPECT_NEAR(t.standardError, 1.0, 1e-3);  // 0.001 Hz of 1000 Hz
    const ClockObservation p = observationFromPulses(480000.0, 480010.0);
    EXPECT_NEAR(p.ppm, 10.0 / 480000.0 * 1e6, 1e-9);
    EXPECT_NEAR(p.standardError, std::sqrt(2.0 / 12.0) / 480000.0 * 1e6, 1e-12);
}

}  // namespace
}  // namespace auralyn::clock
