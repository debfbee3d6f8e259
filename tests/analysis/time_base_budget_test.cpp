// The pieces of a tone's uncertainty budget beyond its noise, on worked values:
// the time base's turn of the phase, the trigger's chance to move, the floor
// of 16-bit rounding and the walk's own bias.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis/fit_uncertainty.h"
#include "analysis/method_bias.h"
#include "analysis/time_base_budget.h"

namespace auralyn {
namespace {

constexpr double kPi = 3.141592653589793;

analysis::ToneQuality fittedTone(double amplitude, double magnitudeU95, double phaseU95, double residualRms = 5.0) {
    analysis::ToneQuality q;
    q.fitted = true;
    q.amplitude = amplitude;
    q.magnitudeU95Db = magnitudeU95;
    q.phaseU95Deg = phaseU95;
    q.residualRms = residualRms;
    return q;
}

TEST(TimeBaseBudget, ClockIntervalTurnsThePhaseInProportionToFrequencyAndTime) {
    // 0.05 ppm over 10 s at 48 kHz, a 10 kHz tone: 360 x 10000 x 0.05e-6 x 10 = 1.8 degrees.
    const analysis::TimeBaseUncertainty timeBase{0.0, 0.05e-6};
    analysis::ToneQuality q = fittedTone(10000.0, 0.001, 0.0);
    analysis::addTimeBase(q, timeBase, 10000.0 / 48000.0, 480000.0, 2000.0);
    EXPECT_NEAR(q.phaseU95Deg, 1.8, 1e-9);
    // Added in quadrature to the noise's part; an origin of one sample adds 360 f / rate.
    q = fittedTone(10000.0, 0.001, 2.4);
    analysis::addTimeBase(q, {1.0, 0.0}, 1000.0 / 48000.0, 480000.0, 2000.0);
    EXPECT_NEAR(q.phaseU95Deg, std::hypot(2.4, 7.5), 1e-9);
    // The magnitude loses (pi f dr N)^2 / 6: tiny for a measured clock, all of it for an unknown one.
    EXPECT_NEAR(q.magnitudeU95Db, 0.001, 1e-12);
    q = fittedTone(10000.0, 0.001, 0.0);
    analysis::addTimeBase(q, {0.0, 1000e-6}, 0.25, 1e6, 4000.0);
    EXPECT_NEAR(q.magnitudeU95Db, 0.001 + 8.685889638065037 * std::pow(kPi * 0.25 * 1e-3 * 4000.0, 2) / 6.0, 1e-9);
    EXPECT_EQ(q.phaseU95Deg, analysis::kMaxPhaseU95Deg);
}

TEST(TimeBaseBudget, TheRatioAppliedOrNotSetsTheRatiosPart) {
    clock::ClockFigure figure;
    figure.verdict = clock::ClockVerdict::Measured;
    figure.ppm = 20.0;
    figure.u95 = 0.04;
    EXPECT_DOUBLE_EQ(analysis::timeBaseUncertainty(figure, true, 0.0).ratio, 0.04e-6);
    EXPECT_EQ(analysis::timeBaseUncertainty(figure, true, 0.01).originSamples, 0.0);
    EXPECT_EQ(analysis::timeBaseUncertainty(figure, true, 0.03).originSamples, 1.0);
    // Found beyond the range and not applied: the tones stand off by all of it.
    figure.verdict = clock::ClockVerdict::OutOfRange;
    figure.ppm = -1500.0;
    EXPECT_DOUBLE_EQ(analysis::timeBaseUncertainty(figure, false, 0.0).ratio, 1500.04e-6);
    figure.verdict = clock::ClockVerdict::Disagree;
    EXPECT_DOUBLE_EQ(analysis::timeBaseUncertainty(figure, false, 0.0).ratio, 1000e-6);
}

TEST(TimeBaseBudget, TriggerMovesOnlyWhereNoiseCanCarryASampleAcrossTheThreshold) {
    // A step from 0 to 14745 against a threshold of 4915: no noise of 300 moves it.
    std::vector<analysis::Sample> step(100, 0.0f);
    for (std::size_t i = 50; i < 60; ++i) step[i] = 14745.0f;
    EXPECT_LT(analysis::triggerShiftChance(step, 50, 4915.0, 300.0), 1e-9);
    EXPECT_EQ(analysis::triggerShiftChance(step, 50, 4915.0, 0.0), 0.0);
    // A smeared edge with a sample 30 below the threshold: noise of 300 lifts it nearly half the time.
    step[49] = 4885.0f;
    EXPECT_NEAR(analysis::triggerShiftChance(step, 50, 4915.0, 300.0), 0.5 * std::erfc(30.0 / (300.0 * std::sqrt(2.0))),
                1e-12);
    // The trigger sample itself just over it may fall below.
    step[49] = 0.0f;
    step[50] = 4920.0f;
    EXPECT_NEAR(analysis::triggerShiftChance(step, 50, 4915.0, 10.0), 0.5 * std::erfc(5.0 / (10.0 * std::sqrt(2.0))), 1e-12);
}

TEST(TimeBaseBudget, NoiseAtThePulseIgnoresClicks) {
    std::vector<analysis::Sample> leadIn(10000);
    std::uint64_t state = 3;
    for (analysis::Sample& v : leadIn) {
        double sum = 0.0;
        for (int i = 0; i < 12; ++i) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            sum += static_cast<double>(state >> 11) / 9007199254740992.0;
        }
        v = static_cast<analysis::Sample>(std::lround(100.0 * (sum - 6.0)));
    }
    for (std::size_t i = 0; i < leadIn.size(); i += 500) leadIn[i] = 30000.0f;  // clicks
    EXPECT_NEAR(analysis::robustNoiseSd(leadIn.data(), leadIn.size()), 100.0, 4.0);
    // Digital silence is rounding at most.
    const std::vector<analysis::Sample> silence(1000, 0.0f);
    EXPECT_NEAR(analysis::robustNoiseSd(silence.data(), silence.size()), std::sqrt(1.0 / 12.0), 1e-12);
    // A 24-bit recording's silence: its own, finer rounding.
    EXPECT_NEAR(analysis::robustNoiseSd(silence.data(), silence.size(), 1.0 / 256.0), std::sqrt(1.0 / 12.0) / 256.0, 1e-12);
    EXPECT_EQ(analysis::robustNoiseSd(nullptr, 0), 0.0);
}

TEST(MethodBias, RoundingIsAFloorNotATerm) {
    // No noise: 2/pi of a step against 16384, plus the sweep's own rounding over 1000 samples.
    analysis::ToneQuality q = fittedTone(16384.0, 0.0, 0.0, 0.29);
    analysis::addRoundingFloor(q, 32767.0, 1000.0);
    const double relative = analysis::kRoundingBoundSteps / 16384.0 +
                            1.959963984540054 * std::sqrt(2.0 / 12.0 / 1000.0) / 32767.0;
    EXPECT_NEAR(q.phaseU95Deg, relative * 180.0 / kPi, 1e-12);
    EXPECT_NEAR(q.magnitudeU95Db, 8.685889638065037 * relative, 1e-12);
    // Noise of a step or more: the recording's rounding is in the residual; a wider interval stays.
    q = fittedTone(16384.0, 0.5, 3.0, 4.0);
    analysis::addRoundingFloor(q, 32767.0, 1000.0);
    EXPECT_EQ(q.magnitudeU95Db, 0.5);
    EXPECT_EQ(q.phaseU95Deg, 3.0);
    // Noise of half a step dithers the rounding already: a residual of
    // sqrt(0.25 + 1/12) steps or more keeps the noise's own interval, however
    // narrow, but for the sweep's rounding; just below it the worst case holds.
    const double played = 1.959963984540054 * std::sqrt(2.0 / 12.0 / 1000.0) / 32767.0;
    q = fittedTone(16384.0, 0.0, 0.0, 0.58);
    analysis::addRoundingFloor(q, 32767.0, 1000.0);
    EXPECT_NEAR(q.magnitudeU95Db, 8.685889638065037 * played, 1e-12);
    q = fittedTone(16384.0, 0.0, 0.0, 0.57);
    analysis::addRoundingFloor(q, 32767.0, 1000.0);
    EXPECT_NEAR(q.magnitudeU95Db, 8.685889638065037 * (analysis::kRoundingBoundSteps / 16384.0 + played), 1e-12);
    // A 24-bit recording's step scales the same threshold.
    EXPECT_TRUE(analysis::dithered(0.58 / 256.0, 1.0 / 256.0));
    EXPECT_FALSE(analysis::dithered(0.57 / 256.0, 1.0 / 256.0));
}

TEST(MethodBias, TheWalksReadingAgainstTheFitWidensItsInterval) {
    analysis::ToneMeasurement tone;
    tone.amplitude = 1000.0 * std::pow(10.0, 0.01 / 20.0);  // 0.01 dB above the fit
    tone.phase = 0.5 * kPi / 180.0 - 2.0 * kPi;             // half a degree, a turn apart
    tone.quality = fittedTone(1000.0, 0.002, 0.1);
    tone.quality->phase = 0.0;
    analysis::addWalkBias(tone);
    EXPECT_NEAR(tone.quality->magnitudeU95Db, 0.012, 1e-9);
    EXPECT_NEAR(tone.quality->phaseU95Deg, 0.6, 1e-9);
    // Nothing to compare: untouched.
    analysis::ToneMeasurement silent;
    silent.quality = fittedTone(0.0, 100.0, 180.0);
    analysis::addWalkBias(silent);
    EXPECT_EQ(silent.quality->phaseU95Deg, 180.0);
}

}  // namespace
}  // namespace auralyn
