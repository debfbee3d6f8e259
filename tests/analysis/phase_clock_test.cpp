// The clock ratio from the tones' phases along a sweep (phase_clock.h), on
// phases made here from the model with known ratio, start and device phase
// and Gaussian noise: recovered where the device's phase is flat, with an
// interval that holds as often as it claims; refused where the device bends
// the phase, where the phases disagree with the frequencies' prior, and where
// too few tones take part.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/phase_clock.h"

namespace auralyn::analysis {
namespace {

constexpr double kPiHere = 3.14159265358979323846;
constexpr double kRate = 48000.0;

struct Truth {
    double constant = 0.0;  // radians (pi: an inverting device)
    double start = 0.0;     // samples after the trigger
    double ratio = 0.0;     // relative error of the ratio the blocks were placed with
};

// The default sweep's layout, roughly: 24 tones an octave from 20 Hz, each
// 40 ms of settling and a block of at least 20 ms and ten cycles, with a phase
// noise of sd radians (sd x amplitude share: the lowest tones are quieter).
struct SweepPhases {
    std::vector<ClockPhase> tones;
};

SweepPhases sweepPhases(const Truth& truth, double sd, std::mt19937_64& random, double (*devicePhase)(double) = nullptr) {
    std::normal_distribution<double> normal(0.0, 1.0);
    SweepPhases s;
    double offset = 0.0;
    for (int k = 0; k < 240; ++k) {
        const double hz = 20.0 * std::pow(2.0, k / 24.0);
        const double block = std::max(960.0, 10.0 * kRate / hz);
        offset += 1920.0;
        const double centre = offset + 0.5 * block;
        offset += block;
        const double nu = hz / kRate;
        const double sigma = sd * (1.0 + (k % 7) * 0.2);
        const double device = devicePhase != nullptr ? devicePhase(hz) : 0.0;
        const double phase = truth.constant + device - 2.0 * kPiHere * nu * (truth.start + truth.ratio * centre) +
                             sigma * normal(random);
        s.tones.push_back({nu, centre, std::remainder(phase, 2.0 * kPiHere), sigma});
    }
    return s;
}

TEST(PhaseClock, RecoversTheRatioAndStartOfAFlatInvertingDeviceThroughManyWraps) {
    std::mt19937_64 random(7);
    // 5 ppm over the sweep turns the 20 kHz tone by two cycles, the start of
    // 3.7 samples by one and a half more: all unwrapped from the low tones up.
    const Truth truth{kPiHere, 3.7, 5e-6};
    const SweepPhases s = sweepPhases(truth, 0.01, random);
    const PhaseClock fit = fitPhaseClock(s.tones, 0.0, 2e-6, 4.0);
    ASSERT_TRUE(fit.accepted);
    EXPECT_EQ(fit.tones, 240u);
    EXPECT_EQ(fit.degreesOfFreedom, 238u);
    EXPECT_NEAR(fit.ratioShift, truth.ratio, 4.0 * fit.ratioSd);
    EXPECT_LT(fit.ratioSd, 0.1e-6);  // a twentieth of the prior's 2 ppm
    EXPECT_NEAR(fit.startShift, truth.start, 0.25);
}

// Over many noisy sweeps the 95 % interval holds the true ratio 90 to 99.5 %
// of the time, and a flat device is refused about once in a hundred.
TEST(PhaseClock, TheRatiosIntervalHoldsAsOftenAsItClaims) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    int accepted = 0, inside = 0;
    constexpr int kTrials = 400;
    for (int trial = 0; trial < kTrials; ++trial) {
        const Truth truth{kPiHere * uniform(random), 2.0 * uniform(random), 0.3e-6 * uniform(random)};
        const PhaseClock fit = fitPhaseClock(sweepPhases(truth, 0.05, random).tones, 0.0, 0.5e-6, 4.0);
        if (!fit.accepted) continue;
        ++accepted;
        inside += std::fabs(fit.ratioShift - truth.ratio) <= 1.959964 * fit.ratioSd ? 1 : 0;
    }
    EXPECT_GE(accepted, static_cast<int>(0.95 * kTrials));
    EXPECT_GE(inside, static_cast<int>(0.90 * accepted));
    EXPECT_LE(inside, static_cast<int>(0.995 * accepted));
}

// A second-order low-pass at 3 kHz: its phase bends along the sweep as no
// clock and no delay does. Its residuals show it.
double lowPassPhase(double hz) {
    const double x = hz / 3000.0;
    return -std::atan2(std::sqrt(2.0) * x, 1.0 - x * x);
}

// A bend at the noise's level (two of its sigmas at 20 Hz, falling as 1/f,
// as a high-pass far below the band bends it) where the ratio has little
// leverage: taken or not, it moves the ratio by less than its interval.
double gentleBend(double hz) { return 0.02 * 20.0 / hz; }

TEST(PhaseClock, RefusesADeviceThatBendsThePhaseAndMissesNoneThatHides) {
    std::mt19937_64 random(5);
    const Truth truth{0.0, 0.4, 0.1e-6};
    EXPECT_FALSE(fitPhaseClock(sweepPhases(truth, 0.01, random, lowPassPhase).tones, 0.0, 1e-6, 4.0).accepted);
    const PhaseClock gentle = fitPhaseClock(sweepPhases(truth, 0.01, random, gentleBend).tones, 0.0, 1e-6, 4.0);
    if (gentle.accepted) {
        EXPECT_NEAR(gentle.ratioShift, truth.ratio, 1.959964 * gentle.ratioSd);
    }
}

TEST(PhaseClock, RefusesPhasesThatDisagreeWithTheFrequenciesAndTooFewTones) {
    std::mt19937_64 random(3);
    // The phases say 2 ppm, the frequencies 0 +- 0.1 ppm.
    const SweepPhases far = sweepPhases({0.0, 0.0, 2e-6}, 0.01, random);
    EXPECT_FALSE(fitPhaseClock(far.tones, 0.0, 0.1e-6, 4.0).accepted);
    EXPECT_TRUE(fitPhaseClock(far.tones, 2e-6, 0.1e-6, 4.0).accepted);  // a prior that agrees
    const SweepPhases few = sweepPhases({}, 0.01, random);
    const std::vector<ClockPhase> some(few.tones.begin(), few.tones.begin() + kMinClockPhaseTones - 1);
    EXPECT_FALSE(fitPhaseClock(some, 0.0, 1e-6, 4.0).accepted);
    EXPECT_FALSE(fitPhaseClock({}, 0.0, 1e-6, 4.0).accepted);
    EXPECT_FALSE(fitPhaseClock(few.tones, 0.0, 0.0, 4.0).accepted);  // no prior: no scale for the ratio
}

// Tones below the noise (a phase no better than chance) or with NaNs are left
// out and do not spoil the rest.
TEST(PhaseClock, LeavesOutTonesThatCannotTakePart) {
    std::mt19937_64 random(9);
    const Truth truth{0.0, 0.0, -0.2e-6};
    SweepPhases s = sweepPhases(truth, 0.01, random);
    s.tones[10].phase = std::nan("");
    s.tones[11].sigma = 0.0;
    s.tones[12].cyclesPerSample = -1.0;
    const PhaseClock fit = fitPhaseClock(s.tones, 0.0, 1e-6, 4.0);
    ASSERT_TRUE(fit.accepted);
    EXPECT_EQ(fit.tones, 237u);
    EXPECT_NEAR(fit.ratioShift, truth.ratio, 4.0 * fit.ratioSd);
}

}  // namespace
}  // namespace auralyn::analysis
