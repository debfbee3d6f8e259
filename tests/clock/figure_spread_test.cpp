// The clock figure's interval from the tones' own deviations, against the
// one from their stated errors: worked values, and coverage over many trials
// where the stated errors are off unevenly, as pink noise leaves them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "clock/clock_figure.h"

namespace auralyn::clock {
namespace {

TEST(FigureSpread, EqualWeightsGiveTheStandardErrorOfTheMean) {
    // Ten tones at +-0.3 ppm about 50: s = 0.3 sqrt(10/9), u = s / sqrt(10) =
    // 0.1, expanded with Student's t on 9 degrees of freedom, whatever error
    // the tones state as long as they state the same and less than they show.
    for (const double stated : {0.05, 0.1, 0.2}) {
        std::vector<ClockObservation> tones;
        for (int i = 0; i < 10; ++i) tones.push_back({50.0 + (i % 2 == 0 ? 0.3 : -0.3), stated});
        const ClockFigure f = combineObservations(tones, 10, 0.0, FigureSpread::Deviations);
        EXPECT_EQ(f.verdict, ClockVerdict::Measured) << stated;
        EXPECT_NEAR(f.ppm, 50.0, 1e-9);
        EXPECT_NEAR(f.u95, 2.262 * 0.1, 1e-3) << stated;
    }
}

TEST(FigureSpread, ATonesShareOfTheFigureSetsItsShareOfTheInterval) {
    // Six precise tones (weight 100) at 10 +- 0.1, scattering as stated, and
    // six of weight 1 at 10 +- 3, three times their stated error. Shares
    // 100/606 and 1/606; u^2 = sum(share^2 d^2) / (1 - sum(share^2)).
    std::vector<ClockObservation> tones;
    for (int i = 0; i < 6; ++i) tones.push_back({10.0 + (i % 2 == 0 ? 0.1 : -0.1), 0.1});
    for (int i = 0; i < 6; ++i) tones.push_back({10.0 + (i % 2 == 0 ? 3.0 : -3.0), 1.0});
    const double precise = 100.0 / 606.0, loose = 1.0 / 606.0;
    const double preciseTerm = precise * precise * 0.01, looseTerm = loose * loose * 9.0;
    const double variance = 6.0 * (preciseTerm + looseTerm);
    const double leverage = 6.0 * (precise * precise + loose * loose);
    // Welch-Satterthwaite: 7.1 degrees of freedom, Student's t on 7.
    const double dof = variance * variance / (6.0 * (preciseTerm * preciseTerm + looseTerm * looseTerm));
    ASSERT_NEAR(dof, 7.1, 0.05);
    const ClockFigure f = combineObservations(tones, 12, 0.0, FigureSpread::Deviations);
    EXPECT_NEAR(f.ppm, 10.0, 1e-9);
    EXPECT_NEAR(f.u95, 2.365 * std::sqrt(variance / (1.0 - leverage)), 1e-4);
    // The Birge ratio (2.5) widens the precise tones' share with the loose ones' scatter.
    EXPECT_GT(combineObservations(tones, 12, 0.0).u95, 1.5 * f.u95);
}

TEST(FigureSpread, TooFewTonesCarryingTheFigureLeaveItToTheStatedErrors) {
    // One tone of weight 10^4 against four: the deviations of the others say
    // nothing of it.
    std::vector<ClockObservation> tones = {{20.0, 0.01}, {20.5, 1.0}, {19.5, 1.0}, {20.4, 1.0}, {19.6, 1.0}};
    const ClockFigure deviations = combineObservations(tones, 5, 0.0, FigureSpread::Deviations);
    const ClockFigure stated = combineObservations(tones, 5, 0.0);
    EXPECT_DOUBLE_EQ(deviations.u95, stated.u95);
    EXPECT_DOUBLE_EQ(deviations.ppm, stated.ppm);
}

struct Coverage {
    int held = 0, trials = 0;
    double zSquares = 0.0;  // error over u95 / 1.96, squared
    void add(const ClockFigure& f, double truth) {
        const double error = f.ppm - truth;
        held += std::fabs(error) <= f.u95 ? 1 : 0;
        zSquares += std::pow(error / (f.u95 / 1.959963984540054), 2);
        ++trials;
    }
    double share() const { return static_cast<double>(held) / trials; }
    double zRms() const { return std::sqrt(zSquares / trials); }
};

// Thirty tones a third of an octave apart, each stating an error (ppm) that
// its true error exceeds by `understatement`, as the residual of the whole
// band states it where the noise at the tone's frequency is another.
struct ToneModel {
    double (*statedError)(double hz);  // ppm
    double (*understatement)(double hz);
    int biasedFrom, biasedTo;  // tones biased by four of their stated errors
};

std::vector<ClockObservation> readings(const ToneModel& model, double truth, std::mt19937_64& random) {
    std::normal_distribution<double> gauss;
    std::vector<ClockObservation> tones;
    for (int k = 0; k < 30; ++k) {
        const double hz = 20.0 * std::pow(2.0, k / 3.0);
        const double stated = model.statedError(hz);
        const double bias = k >= model.biasedFrom && k < model.biasedTo ? 4.0 * stated : 0.0;
        tones.push_back({truth + bias + stated * model.understatement(hz) * gauss(random), stated});
    }
    return tones;
}

void survey(const ToneModel& model, Coverage& deviations, Coverage& stated) {
    std::mt19937_64 random(20261210);
    constexpr double kTruth = 80.0;
    for (int trial = 0; trial < 4000; ++trial) {
        const std::vector<ClockObservation> tones = readings(model, kTruth, random);
        deviations.add(combineObservations(tones, 30, 0.0, FigureSpread::Deviations), kTruth);
        stated.add(combineObservations(tones, 30, 0.0), kTruth);
    }
}

// A tone's frequency read to the same error in Hz: ppm falling as 1 / f.
double flatLevels(double hz) { return 1000.0 / hz; }

// Pink noise: the low tones' errors far larger than stated, the high ones'
// (which carry the figure) smaller. As measured on recordings with pink noise
// at -50 dBFS (error over stated error, RMS over seeds): 14 at 20 Hz, 1.5 at
// 640 Hz, 1 at 1.6 kHz, 0.6 at 10 kHz, 0.3 to 0.4 at the top.
double pinkUnderstatement(double hz) { return hz < 1600.0 ? std::sqrt(1600.0 / hz) : std::pow(1600.0 / hz, 0.25); }

// A low-pass at 150 Hz: its tones fall 12 dB an octave above it and their
// errors in ppm grow as f^3. The loud tones that carry the figure state their
// errors right, while quiet tones of little weight read through the filter's
// ringing sit off by four of their errors (and scatter twice as much), which
// the Birge ratio spreads onto every tone's share.
double lowPassLevels(double hz) { return hz < 150.0 ? 1000.0 / hz : 1000.0 / 150.0 * std::pow(hz / 150.0, 3.0); }
double stopBandUnderstatement(double hz) { return hz > 600.0 ? 2.0 : 1.0; }

TEST(FigureSpread, ToneErrorsOffUnevenlyStillCoverFromTheDeviations) {
    Coverage deviations, stated;
    survey({lowPassLevels, stopBandUnderstatement, 15, 30}, deviations, stated);
    std::printf("stop band: from the deviations %.1f %% held (z RMS %.2f), from the stated errors %.1f %% (z RMS %.2f)\n",
                100.0 * deviations.share(), deviations.zRms(), 100.0 * stated.share(), stated.zRms());
    EXPECT_GE(deviations.share(), 0.90);
    EXPECT_LE(deviations.share(), 0.995);
    EXPECT_GE(deviations.zRms(), 0.45);
    // The stated errors with the Birge ratio: a figure several times too wide.
    EXPECT_GT(stated.share(), 0.995);
    EXPECT_LT(stated.zRms(), 0.5);
    Coverage pink, pinkStated;
    survey({flatLevels, pinkUnderstatement, 12, 15}, pink, pinkStated);
    std::printf("pink: from the deviations %.1f %% held (z RMS %.2f), from the stated errors %.1f %% (z RMS %.2f)\n",
                100.0 * pink.share(), pink.zRms(), 100.0 * pinkStated.share(), pinkStated.zRms());
    EXPECT_GE(pink.share(), 0.90);
    EXPECT_GT(pink.zRms(), 1.5 * pinkStated.zRms());
}

}  // namespace
}  // namespace auralyn::clock
