// Impedance from the two channels' ratio: worked values of both wirings, the
// input's load, the fixture compensations, wiring faults, and the coverage of
// the propagated intervals.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "driver_truth.h"
#include "impedance/impedance_measurement.h"
#include "impedance/wiring.h"

namespace auralyn::impedance {
namespace {

RatioTone exactTone(double frequency, std::complex<double> ratio) {
    RatioTone t;
    t.frequency = frequency;
    t.ratio = ratio;
    t.magnitudeU95Db = 0.001;
    t.phaseU95Deg = 0.01;
    return t;
}

TEST(Wiring, SeriesAndAcrossResistorGiveTheLoadExactly) {
    const std::complex<double> load(6.0, 8.0);
    Fixture series;
    series.senseOhms = 10.0;
    // V_driver / V_drive = Z / (Rs + Z) = (6 + 8j) / (16 + 8j).
    const auto z = impedanceFromRatio(ratioWithErrors(exactTone(100, load / (10.0 + load))), series);
    ASSERT_TRUE(z);
    EXPECT_NEAR(z->value.real(), 6.0, 1e-12);
    EXPECT_NEAR(z->value.imag(), 8.0, 1e-12);

    Fixture across;
    across.wiring = Wiring::AcrossResistor;
    across.senseOhms = 0.5;
    const auto za = impedanceFromRatio(ratioWithErrors(exactTone(100, load / 0.5)), across);
    ASSERT_TRUE(za);
    EXPECT_NEAR(std::abs(za->value - load), 0.0, 1e-12);
}

TEST(Wiring, InputImpedanceIsTakenOutOfBothWirings) {
    const std::complex<double> load(40.0, -25.0);
    const double rin = 1000.0;
    const std::complex<double> loaded = load * rin / (load + rin);
    for (const Wiring wiring : {Wiring::Series, Wiring::AcrossResistor}) {
        Fixture f;
        f.wiring = wiring;
        f.senseOhms = 22.0;
        f.inputImpedanceOhms = rin;
        // Across the resistor the input loads Rs as well as the driver.
        const double rsSeen = wiring == Wiring::Series ? 22.0 : 22.0 * rin / (22.0 + rin);
        const std::complex<double> h = wiring == Wiring::Series ? loaded / (22.0 + loaded) : loaded / rsSeen;
        EXPECT_NEAR(std::abs(ratioForLoad(load, f) - h), 0.0, 1e-12);
        const auto z = impedanceFromRatio(ratioWithErrors(exactTone(1000, h)), f);
        ASSERT_TRUE(z);
        EXPECT_NEAR(std::abs(z->value - load), 0.0, 1e-9);
    }
}

TEST(Wiring, RatiosNoPassiveLoadCanGiveAreLeftOut) {
    Fixture f;
    f.senseOhms = 10.0;
    EXPECT_FALSE(impedanceFromRatio(ratioWithErrors(exactTone(100, {1.2, 0.0})), f));
    EXPECT_FALSE(impedanceFromRatio(ratioWithErrors(exactTone(100, {0.0, 0.0})), f));
    EXPECT_FALSE(impedanceFromRatio(ratioWithErrors(exactTone(100, {NAN, 0.0})), f));
}

TEST(Compensation, ReferenceResistorRemovesTheChannelsMismatchAndShortRemovesTheLeads) {
    const std::vector<double> f = test::toneFrequencies(20, 20000, 3);
    const double reference = 8.2;
    Fixture fixture;
    fixture.senseOhms = 10.0;
    std::vector<RatioTone> dut, shorted, resistor;
    for (double v : f) {
        // Leads of 0.3 ohm and 5 uH; the driver's channel reads 3 % high and
        // 2 degrees late, rising with frequency.
        const std::complex<double> leads(0.3, 2.0 * 3.14159265358979 * v * 5e-6);
        const std::complex<double> mismatch = std::polar(1.03, -2.0 * 3.14159265358979 / 180.0 * v / 20000.0);
        const std::complex<double> load = std::complex<double>(6.0, 2e-3 * v) + leads;
        dut.push_back(exactTone(v, mismatch * load / (10.0 + load)));
        shorted.push_back(exactTone(v, mismatch * leads / (10.0 + leads)));
        resistor.push_back(exactTone(v, mismatch * (reference + leads) / (10.0 + reference + leads)));
    }
    Compensation compensation;
    compensation.shortCircuit = &shorted;
    compensation.resistor = &resistor;
    // Recorded behind the leads, which the short tells: the resistor's own value.
    compensation.resistorOhms = reference;
    const ImpedanceMeasurement m = measureImpedance(dut, fixture, compensation);
    ASSERT_TRUE(m.ok());
    ASSERT_EQ(m.curve.size(), f.size());
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(m.curve[i].ohms.real(), 6.0, 1e-9) << f[i];
        EXPECT_NEAR(m.curve[i].ohms.imag(), 2e-3 * f[i], 1e-9) << f[i];
    }
}

TEST(Compensation, RecordingsOfAnotherSweepAreRefused) {
    Fixture fixture;
    fixture.senseOhms = 10.0;
    const std::vector<RatioTone> dut = {exactTone(100, 0.4), exactTone(200, 0.4)};
    const std::vector<RatioTone> shorted = {exactTone(100, 0.01), exactTone(210, 0.01)};
    Compensation compensation;
    compensation.shortCircuit = &shorted;
    EXPECT_EQ(measureImpedance(dut, fixture, compensation).problem, WiringProblem::SweepsDiffer);
}

TEST(WiringFaults, SwappedChannelsAndReversedPolarityAreNamed) {
    const std::vector<double> f = test::toneFrequencies(20, 20000, 6);
    test::TrueDriver driver;
    std::mt19937_64 random(1);
    test::NoisyWiring wiring;
    std::vector<RatioTone> tones = test::seriesRecording(driver, f, wiring, random);
    Fixture fixture;
    fixture.senseOhms = wiring.senseOhms;
    ASSERT_TRUE(measureImpedance(tones, fixture).ok());

    std::vector<RatioTone> swapped = tones;
    for (RatioTone& t : swapped) t.ratio = 1.0 / t.ratio;
    const ImpedanceMeasurement s = measureImpedance(swapped, fixture);
    EXPECT_EQ(s.problem, WiringProblem::ChannelsSwapped);
    EXPECT_TRUE(s.curve.empty());
    EXPECT_NE(describe(s.problem).find("swapped"), std::string::npos);

    Fixture across = fixture;
    across.wiring = Wiring::AcrossResistor;
    std::vector<RatioTone> reversed = tones;
    for (RatioTone& t : reversed) t.ratio = -t.ratio;
    EXPECT_EQ(measureImpedance(reversed, across).problem, WiringProblem::PolarityReversed);
}

// Over many noisy recordings of one load the truth lies inside each tone's
// 95 % intervals of |Z| and phase as often as claimed, both where Z is near
// Rs and where Z is ten times Rs (the ratio near 1, errors magnified).
TEST(WiringIntervals, HoldTheTrueImpedance) {
    const std::vector<std::complex<double>> loads = {{8.0, 3.0}, {100.0, -40.0}, {4.0, 0.5}};
    const std::vector<double> f = {50.0, 100.0, 200.0};
    Fixture fixture;
    fixture.senseOhms = 10.0;
    fixture.senseTolerancePercent = 0.0;
    test::NoisyWiring wiring;
    wiring.noise = 3e-4;
    std::mt19937_64 random(7);
    const int trials = 2000;
    std::vector<int> insideMagnitude(loads.size()), insidePhase(loads.size());
    for (int n = 0; n < trials; ++n) {
        const ImpedanceMeasurement m = measureImpedance(test::seriesRecordingOf(loads, f, wiring, random), fixture);
        ASSERT_EQ(m.curve.size(), loads.size());
        for (std::size_t i = 0; i < loads.size(); ++i) {
            const ImpedancePoint& p = m.curve[i];
            insideMagnitude[i] += std::abs(magnitudeOf(p) - std::abs(loads[i])) <= p.magnitudeU95;
            const double phaseError = std::remainder(phaseDegOf(p) - std::arg(loads[i]) * 180.0 / 3.14159265358979, 360.0);
            insidePhase[i] += std::abs(phaseError) <= p.phaseU95Deg;
        }
    }
    for (std::size_t i = 0; i < loads.size(); ++i) {
        EXPECT_GE(insideMagnitude[i], 0.93 * trials) << i;
        EXPECT_LE(insideMagnitude[i], 0.97 * trials) << i;
        EXPECT_GE(insidePhase[i], 0.93 * trials) << i;
        EXPECT_LE(insidePhase[i], 0.97 * trials) << i;
    }
}

TEST(WiringIntervals, SenseToleranceWidensTheMagnitudeOnly) {
    Fixture fixture;
    fixture.senseOhms = 10.0;
    const LogUncertain exact{{8.0, 0.0}, 0.0, 0.0, 0.0};
    fixture.senseTolerancePercent = 1.0;
    const ImpedancePoint p = pointOf(100.0, exact, fixture, std::nullopt);
    // A uniform +-1 %: standard uncertainty 1 % / sqrt 3, times 1.96, of 8 ohms.
    EXPECT_NEAR(p.magnitudeU95, 8.0 * 0.01 / std::sqrt(3.0) * 1.959963984540054, 1e-12);
    EXPECT_EQ(p.phaseU95Deg, 0.0);
}

}  // namespace
}  // namespace auralyn::impedance
