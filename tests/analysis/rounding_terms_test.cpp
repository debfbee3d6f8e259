// The terms that bound what a residual cannot show: the sweep's own rounding
// where a tone repeats after a few samples, in its intervals and in the clock
// fit (with the recorder's, where undithered), and the test that tells a
// steady tone's halves apart from noise. Worked values computed by hand (and
// with Python's fractions module for the periods).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/checked_tones.h"
#include "analysis/method_bias.h"
#include "analysis/phase_clock.h"
#include "analysis/tone_steadiness.h"

namespace auralyn::analysis {
namespace {

constexpr double kPiHere = 3.14159265358979323846;

TEST(PlayedRounding, ATonesPeriodIsTheDenominatorOfItsCyclesPerSample) {
    EXPECT_EQ(repeatingPeriod(1280.0 / 48000.0, 4800), 75u);   // 2 / 75
    EXPECT_EQ(repeatingPeriod(10240.0 / 48000.0, 4800), 75u);  // 16 / 75
    EXPECT_EQ(repeatingPeriod(1000.0 / 48000.0, 4800), 48u);
    EXPECT_EQ(repeatingPeriod(20.0 / 48000.0, 24000), 2400u);
    EXPECT_EQ(repeatingPeriod(441.0 / 88200.0, 4800), 200u);
    EXPECT_EQ(repeatingPeriod(0.5, 10), 2u);
    // Longer than the block, or no period at all (a third of an octave above 20 Hz).
    EXPECT_EQ(repeatingPeriod(20.0 / 48000.0, 1000), 0u);
    EXPECT_EQ(repeatingPeriod(20.0 * std::cbrt(2.0) / 48000.0, 48000), 0u);
    EXPECT_EQ(repeatingPeriod(0.0, 100), 0u);
    EXPECT_EQ(repeatingPeriod(std::nan(""), 100), 0u);
}

// The period looked for by trying every length, as the definition reads.
std::size_t periodByEveryLength(double cyclesPerSample, std::size_t longest) {
    for (std::size_t q = 1; q <= longest; ++q) {
        const double cycles = static_cast<double>(q) * cyclesPerSample;
        if (std::fabs(cycles - std::nearbyint(cycles)) <= 1e-9) return q;
    }
    return 0;
}

TEST(PlayedRounding, TheConvergentsFindThePeriodEveryLengthFinds) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> denominators(2, 5000);
    std::uniform_real_distribution<double> reals(1e-5, 0.5);
    for (int trial = 0; trial < 3000; ++trial) {
        const int q = denominators(random);
        const int p = std::uniform_int_distribution<int>(1, q - 1)(random);
        const double cycles = static_cast<double>(p) / q;
        ASSERT_EQ(repeatingPeriod(cycles, 6000), periodByEveryLength(cycles, 6000)) << p << " / " << q;
        ASSERT_EQ(repeatingPeriod(cycles, 600), periodByEveryLength(cycles, 600)) << p << " / " << q;
    }
    for (int trial = 0; trial < 300; ++trial) {
        const double cycles = reals(random);
        ASSERT_EQ(repeatingPeriod(cycles, 20000), periodByEveryLength(cycles, 20000)) << cycles;
    }
    // The tones of a sweep: frequencies in hertz over common rates.
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (double f = 20.0; f < 20000.0; f *= 1.0 + 1.0 / 96.0) {
            for (double hz : {f, std::round(f), std::round(f * 10.0) / 10.0}) {
                ASSERT_EQ(repeatingPeriod(hz / rate, 65536), periodByEveryLength(hz / rate, 65536)) << hz << " at " << rate;
            }
        }
    }
}

TEST(PlayedRounding, ARepeatingTonesIntervalsGrowByItsRoundingOverOnePeriod) {
    ToneQuality q;
    q.fitted = true;
    q.magnitudeU95Db = 0.0;
    q.phaseU95Deg = 0.0;
    // 1 kHz at 48 kHz repeats every 48 samples: 2/12 (1/48 - 1/4800) steps
    // squared against a full-scale sweep, at 95 %.
    addPlayedRounding(q, 32767.0, 1000.0 / 48000.0, 4800.0);
    EXPECT_NEAR(q.magnitudeU95Db, 3.0461204360e-05, 1e-13);
    EXPECT_NEAR(q.phaseU95Deg, 2.0093490954e-04, 1e-12);
    // Added in quadrature to what is there.
    ToneQuality wide = q;
    wide.magnitudeU95Db = 4.0e-5;
    addPlayedRounding(wide, 32767.0, 1000.0 / 48000.0, 4800.0);
    EXPECT_NEAR(wide.magnitudeU95Db, std::hypot(4.0e-5, 3.0461204360e-05), 1e-13);
    // No period within the block: the residual holds the rounding as noise.
    ToneQuality plain;
    plain.fitted = true;
    plain.magnitudeU95Db = 1e-5;
    plain.phaseU95Deg = 1e-4;
    addPlayedRounding(plain, 32767.0, 20.0 * std::cbrt(2.0) / 48000.0, 4800.0);
    EXPECT_EQ(plain.magnitudeU95Db, 1e-5);
    EXPECT_EQ(plain.phaseU95Deg, 1e-4);
    // A block of no length, or of no end, adds nothing.
    EXPECT_EQ(repeatingRoundingVariance(1000.0 / 48000.0, 0.0), 0.0);
    EXPECT_EQ(repeatingRoundingVariance(1000.0 / 48000.0, INFINITY), 0.0);
    EXPECT_EQ(repeatingRoundingVariance(1000.0 / 48000.0, std::nan("")), 0.0);
    // A very long block looks no further than 65536 samples for a period.
    EXPECT_NEAR(repeatingRoundingVariance(1000.0 / 48000.0, 1e12), 2.0 / 12.0 / 48.0, 1e-12);
    ToneQuality unfitted;
    addPlayedRounding(unfitted, 32767.0, 1000.0 / 48000.0, 4800.0);
    EXPECT_EQ(unfitted.magnitudeU95Db, ToneQuality{}.magnitudeU95Db);
}

TEST(ClockPhaseBias, OnlyRoundingThatRepeatsWithTheToneIsHiddenFromTheResidual) {
    const double kilohertz = 1000.0 / 48000.0;  // repeats every 48 samples
    // Undithered (a residual of 0.3 steps): the recorder's rounding of a tone
    // of amplitude 1000 and the sweep's of full scale, both over 48 samples
    // less what 4800 hold: sqrt(2/12 (1/48 - 1/4800) (1/32767^2 + 1/1000^2)).
    EXPECT_NEAR(clockPhaseBias(1000.0, 0.3, kilohertz, kilohertz, 4800.0), 5.8657494123e-05, 1e-14);
    // Dithered by noise of over half a step: the sweep's own only.
    EXPECT_NEAR(clockPhaseBias(1000.0, 0.7, kilohertz, kilohertz, 4800.0), 1.7893062227e-06, 1e-15);
    // A recorder 150 ppm off holds a tone that never repeats: the sweep's own only.
    EXPECT_NEAR(clockPhaseBias(1000.0, 0.3, kilohertz / 1.00015, kilohertz, 4800.0), 1.7893062227e-06, 1e-15);
    // A tone of no short period rounds as noise that the residual holds.
    const double third = 20.0 * std::cbrt(2.0) / 48000.0;
    EXPECT_EQ(clockPhaseBias(1000.0, 0.3, third, third, 4800.0), 0.0);
}

TEST(HalvesDisagree, AtTheNinetyFifthPercentileOfChiSquaredWithTwoDegrees) {
    // Chi-squared with 2 degrees of freedom exceeds x with probability exp(-x / 2).
    EXPECT_NEAR(std::exp(-kNoiseHalvesStatistic / 2.0), 0.05, 1e-12);
    EXPECT_FALSE(halvesDisagree(0.0));
    EXPECT_FALSE(halvesDisagree(5.99));
    EXPECT_TRUE(halvesDisagree(6.0));
    EXPECT_FALSE(halvesDisagree(std::nan("")));
}

// Phases known to a microradian (a tone at 120 dB SNR) time the clock to what
// they say, not to a fixed floor per tone, and the ratio's interval still
// holds as often as it claims.
TEST(PhaseClock, PhasesOfAVeryHighSnrSetTheirOwnUncertainty) {
    std::mt19937_64 random(29);
    std::normal_distribution<double> normal(0.0, 1.0);
    constexpr int kTrials = 60;
    int accepted = 0, inside = 0;
    double largestSd = 0.0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const double ratio = 1e-8 * normal(random);
        const double start = 0.3 * normal(random);
        std::vector<ClockPhase> tones;
        double offset = 0.0;
        for (int k = 0; k < 30; ++k) {
            const double nu = 20.0 * std::pow(2.0, k / 3.0) / 48000.0;
            const double block = std::max(960.0, 10.0 / nu);
            offset += 1920.0;
            const double centre = offset + 0.5 * block;
            offset += block;
            const double sigma = 1e-6;
            const double phase = 0.4 - 2.0 * kPiHere * nu * (start + ratio * centre) + sigma * normal(random);
            tones.push_back({nu, centre, std::remainder(phase, 2.0 * kPiHere), sigma,
                             clockPhaseBias(29000.0, 0.84, nu, nu, block)});
        }
        // The frequencies' prior, as wide as they know the ratio.
        const PhaseClock fit = fitPhaseClock(tones, ratio + 2e-9 * normal(random), 2e-9, 4.0);
        if (!fit.accepted) continue;
        ++accepted;
        inside += std::fabs(fit.ratioShift - ratio) <= 1.96 * fit.ratioSd ? 1 : 0;
        largestSd = std::max(largestSd, fit.ratioSd);
    }
    ASSERT_GE(accepted, kTrials * 9 / 10);
    EXPECT_GE(inside, accepted * 85 / 100);
    EXPECT_LE(inside, accepted);
    // Under a tenth of the prior's 2e-9: a floor of 2e-4 radians a tone would
    // have held it near the prior.
    EXPECT_LT(largestSd, 2e-10);
}

}  // namespace
}  // namespace auralyn::analysis
