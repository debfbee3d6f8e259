// The driver's model fitted to impedance curves of known drivers, measured
// through a noisy series wiring: accuracy over the range of drivers, the
// coverage of the intervals, the lossy coil, the three-point cross-check and
// the verdicts on curves no driver makes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "driver_truth.h"
#include "impedance/driver_fit.h"
#include "impedance/impedance_measurement.h"
#include "impedance/three_point.h"

namespace auralyn::impedance {
namespace {

const std::vector<double> kTones = test::toneFrequencies(10.0, 20000.0, 12);

ImpedanceCurve measured(const test::TrueDriver& d, const test::NoisyWiring& wiring, std::mt19937_64& random) {
    Fixture fixture;
    fixture.senseOhms = wiring.senseOhms;
    const ImpedanceMeasurement m = measureImpedance(test::seriesRecording(d, kTones, wiring, random), fixture);
    EXPECT_TRUE(m.ok());
    return m.curve;
}

double relativeError(double value, double truth) { return std::abs(value / truth - 1.0); }

struct Case {
    test::TrueDriver driver;
    double senseOhms;
};

// Corners of the range the kit is for: fs 20-120 Hz, Qts 0.2-1.2, Re 3-8 ohms, Rs 1-47 ohms.
std::vector<Case> rangeOfDrivers() {
    return {
        {{6.2, 0.45e-3, 38.0, 3.1, 0.42}, 10.0},
        {{3.0, 0.2e-3, 20.0, 2.0, 0.22}, 1.0},    // Qts 0.2
        {{8.0, 1.2e-3, 120.0, 8.0, 1.4}, 47.0},   // Qts 1.2
        {{3.2, 0.1e-3, 120.0, 1.5, 0.24}, 47.0},
        {{7.5, 2.0e-3, 20.0, 12.0, 1.3}, 1.0},
        {{5.6, 0.7e-3, 55.0, 4.0, 0.6, 0.9e-3, 4.0}, 22.0},  // a lossy coil
    };
}

TEST(DriverFit, MeetsTheTargetsAcrossTheRangeOfDrivers) {
    std::mt19937_64 random(11);
    for (const Case& c : rangeOfDrivers()) {
        test::NoisyWiring wiring;
        wiring.senseOhms = c.senseOhms;
        const DriverFit fit = fitDriver(measured(c.driver, wiring, random));
        SCOPED_TRACE("fs " + std::to_string(c.driver.fs) + " Qts " + std::to_string(c.driver.qts()));
        EXPECT_EQ(fit.verdict, FitVerdict::Good) << fit.reason;
        EXPECT_LT(relativeError(fit.re.value, c.driver.re), 0.01);
        EXPECT_LT(relativeError(fit.fs.value, c.driver.fs), 0.005);
        EXPECT_LT(relativeError(fit.qms.value, c.driver.qms), 0.03);
        EXPECT_LT(relativeError(fit.qes.value, c.driver.qes), 0.03);
        EXPECT_LT(relativeError(fit.qts.value, c.driver.qts()), 0.03);
        EXPECT_EQ(fit.model.lossyCoil(), c.driver.l2 > 0.0);
        const double le1k = std::imag(test::trueImpedance(c.driver, 1000.0) -
                                      test::trueImpedance({c.driver.re, 0, c.driver.fs, c.driver.qms, c.driver.qes},
                                                          1000.0)) /
                            (2 * 3.14159265358979 * 1000.0);
        EXPECT_LT(relativeError(fit.leAt1k.value, le1k), 0.03);
    }
}

// Over repeated noisy measurements of one driver each parameter's 95 %
// interval holds the truth in 90-99 % of runs.
TEST(DriverFit, IntervalsHoldTheTruth) {
    const test::TrueDriver driver{5.0, 0.6e-3, 45.0, 4.0, 0.5};
    test::NoisyWiring wiring;
    wiring.noise = 2e-4;
    std::mt19937_64 random(3);
    const int trials = 200;
    int re = 0, fs = 0, qms = 0, qes = 0, qts = 0, le = 0;
    for (int n = 0; n < trials; ++n) {
        const DriverFit fit = fitDriver(measured(driver, wiring, random));
        ASSERT_NE(fit.verdict, FitVerdict::Failed) << fit.reason;
        const auto inside = [](const Estimate& e, double truth) { return std::abs(e.value - truth) <= e.u95; };
        re += inside(fit.re, driver.re);
        fs += inside(fit.fs, driver.fs);
        qms += inside(fit.qms, driver.qms);
        qes += inside(fit.qes, driver.qes);
        qts += inside(fit.qts, driver.qts());
        le += inside(fit.leAt1k, driver.le);  // a lossless coil: its inductance at every frequency
    }
    std::printf("coverage of 95 %% intervals over %d runs: re %d fs %d qms %d qes %d qts %d le(1 kHz) %d\n", trials, re,
                fs, qms, qes, qts, le);
    for (const int inside : {re, fs, qms, qes, qts, le}) {
        EXPECT_GE(inside, 0.90 * trials);
        EXPECT_LE(inside, 0.99 * trials);
    }
}

TEST(DriverFit, AGivenReIsHeldAndTheRestFitted) {
    std::mt19937_64 random(5);
    const test::TrueDriver driver;
    FitOptions options;
    options.re = driver.re;
    const DriverFit fit = fitDriver(measured(driver, {}, random), options);
    EXPECT_EQ(fit.verdict, FitVerdict::Good) << fit.reason;
    EXPECT_EQ(fit.re.value, driver.re);
    EXPECT_LT(relativeError(fit.fs.value, driver.fs), 0.005);
}

TEST(ThreePoint, AgreesWithTheFitOnAModelDriver) {
    std::mt19937_64 random(9);
    const test::TrueDriver driver{6.0, 1.0e-3, 30.0, 5.0, 0.5};
    const DriverFit fit = fitDriver(measured(driver, {}, random));
    const ThreePointResult classic = threePoint(measured(driver, {}, random), fit.re, &fit.model);
    ASSERT_TRUE(classic.found) << classic.reason;
    EXPECT_LT(relativeError(classic.fs.value, driver.fs), 0.01);
    EXPECT_LT(relativeError(classic.qms.value, driver.qms), 0.03);
    EXPECT_LT(relativeError(classic.qes.value, driver.qes), 0.03);
    EXPECT_FALSE(disagreement(classic, fit.fs, fit.qms, fit.qes));
}

TEST(ThreePoint, FindsNothingOnAPlainResistor) {
    ImpedanceCurve flat;
    for (double f : kTones) flat.push_back({f, {8.0, 0.0}, 0.01, 0.1, std::nullopt, std::nullopt});
    EXPECT_FALSE(threePoint(flat, {8.0, 0.0}).found);
}

TEST(DriverFitVerdict, CurvesNoDriverMakesFailWithAReason) {
    ImpedanceCurve flat;
    for (double f : kTones) flat.push_back({f, {8.0, 0.0}, 0.01, 0.1, std::nullopt, std::nullopt});
    const DriverFit resistor = fitDriver(flat);
    EXPECT_EQ(resistor.verdict, FitVerdict::Failed);
    EXPECT_FALSE(resistor.reason.empty());

    // Two resonances: one model cannot follow both.
    std::mt19937_64 random(2);
    const ImpedanceCurve a = measured({6.0, 0.5e-3, 30.0, 4.0, 0.5}, {}, random);
    const ImpedanceCurve b = measured({6.0, 0.5e-3, 400.0, 4.0, 0.5}, {}, random);
    ImpedanceCurve both = a;
    for (std::size_t i = 0; i < both.size(); ++i) both[i].ohms = a[i].ohms + b[i].ohms - 6.0;
    const DriverFit twin = fitDriver(both);
    EXPECT_EQ(twin.verdict, FitVerdict::Failed);
    EXPECT_NE(twin.reason.find("residual"), std::string::npos) << twin.reason;

    EXPECT_EQ(fitDriver(ImpedanceCurve(a.begin(), a.begin() + 5)).verdict, FitVerdict::Failed);
}

TEST(DriverFitVerdict, ACurveWithoutIntervalsIsWeighedAlike) {
    std::mt19937_64 random(4);
    ImpedanceCurve curve = measured({6.2, 0.45e-3, 38.0, 3.1, 0.42}, {}, random);
    for (ImpedancePoint& p : curve) p.magnitudeU95 = p.phaseU95Deg = 0.0;
    const DriverFit fit = fitDriver(curve);
    EXPECT_FALSE(fit.weighted);
    EXPECT_EQ(fit.verdict, FitVerdict::Good) << fit.reason;
    EXPECT_LT(relativeError(fit.fs.value, 38.0), 0.005);
    EXPECT_GT(fit.fs.u95, 0.0);
}

}  // namespace
}  // namespace auralyn::impedance
