// The sweep's start from its tones' phases: a pure delay of any size and
// fraction is recovered whatever the polarity, and the stated uncertainty
// is the scatter that noise on the phases really gives (Monte Carlo).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/sweep_origin.h"

namespace auralyn {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// Tones of a 1/6-octave sweep from 20 Hz to 20 kHz at 48 kHz, each read at a
// start `delay` samples early: phase = offset - 2 pi nu delay.
std::vector<analysis::StartPhase> delayedTones(double delay, double offset, double sigma) {
    std::vector<analysis::StartPhase> tones;
    for (double hz = 20.0; hz < 20000.0; hz *= std::pow(2.0, 1.0 / 6.0)) {
        const double nu = hz / 48000.0;
        tones.push_back({nu, 1000.0, std::remainder(offset - kTwoPi * nu * delay, kTwoPi), sigma, 0.0});
    }
    return tones;
}

TEST(SweepOrigin, APureDelayIsFoundToAFractionOfASampleWhateverThePolarity) {
    for (const double delay : {0.0, 0.37, -3.25, 200.6, -777.125}) {
        for (const double polarity : {0.0, 3.141592653589793}) {
            const analysis::OriginShift found = analysis::originShift(delayedTones(delay, polarity, 1e-4), 1024.0);
            ASSERT_TRUE(found.valid) << delay;
            EXPECT_NEAR(found.shift, delay, 1e-6) << delay << " polarity " << polarity;
            EXPECT_NEAR(found.coherence, 1.0, 1e-9);
        }
    }
}

TEST(SweepOrigin, ItsUncertaintyIsTheScatterNoiseGives) {
    std::mt19937_64 random(3);
    const double sigma = 0.02;  // radians on every tone
    std::normal_distribution<double> noise(0.0, sigma);
    const int trials = 400;
    double sum = 0.0, squares = 0.0, stated = 0.0;
    for (int trial = 0; trial < trials; ++trial) {
        std::vector<analysis::StartPhase> tones = delayedTones(12.5, 0.3, sigma);
        for (analysis::StartPhase& t : tones) t.phase += noise(random);
        const analysis::OriginShift found = analysis::originShift(tones, 1024.0);
        ASSERT_TRUE(found.valid);
        sum += found.shift - 12.5;
        squares += (found.shift - 12.5) * (found.shift - 12.5);
        stated += found.sigma;
    }
    const double mean = sum / trials;
    const double scatter = std::sqrt(squares / trials - mean * mean);
    // The scatter's own relative uncertainty over 400 trials is about 3.5 %.
    EXPECT_NEAR(stated / trials, scatter, 0.12 * scatter);
    EXPECT_NEAR(mean, 0.0, 4.0 * scatter / std::sqrt(trials));
}

// A clock ratio wrong by dr turns each tone by 2 pi nu dr t: the start moves
// by the stated sensitivity times dr.
TEST(SweepOrigin, AClockErrorMovesTheStartByItsStatedSensitivity) {
    std::vector<analysis::StartPhase> tones = delayedTones(0.0, 0.0, 1e-4);
    for (std::size_t k = 0; k < tones.size(); ++k) tones[k].time = 5000.0 * static_cast<double>(k);
    const analysis::OriginShift exact = analysis::originShift(tones, 1024.0);
    const double dr = 2e-7;
    for (analysis::StartPhase& t : tones) t.phase += kTwoPi * t.cyclesPerSample * dr * t.time;
    const analysis::OriginShift turned = analysis::originShift(tones, 1024.0);
    EXPECT_NEAR(turned.shift - exact.shift, exact.ratioSensitivity * dr, 0.02 * std::fabs(exact.ratioSensitivity * dr));
}

}  // namespace
}  // namespace auralyn
