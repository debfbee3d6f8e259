// Vas, Mms, Cms, Bl, Rms, efficiency and sensitivity of known drivers by the
// added-mass and known-box methods, from fits of noisy measurements.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "driver_truth.h"
#include "impedance/driver_fit.h"
#include "impedance/driver_parameters.h"
#include "impedance/impedance_measurement.h"
#include "impedance/mechanical_parameters.h"

namespace auralyn::impedance {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kRhoC2 = 1.2041 * 343.21 * 343.21;

// A driver's mechanical side, and the loaded drivers that follow from it.
struct Mechanics {
    test::TrueDriver driver;
    double sd = 0.0;   // m^2
    double vas = 0.0;  // m^3

    double cms() const { return vas / (kRhoC2 * sd * sd); }
    double mms() const { return 1.0 / (std::pow(kTwoPi * driver.fs, 2) * cms()); }
    double bl() const { return std::sqrt(kTwoPi * driver.fs * mms() * driver.re / driver.qes); }

    // Resonance and Q's scale with sqrt(mass) / sqrt(stiffness).
    test::TrueDriver scaled(double massRatio, double stiffnessRatio) const {
        test::TrueDriver d = driver;
        d.fs = driver.fs * std::sqrt(stiffnessRatio / massRatio);
        const double q = std::sqrt(massRatio * stiffnessRatio);
        d.qms = driver.qms * q;
        d.qes = driver.qes * q;
        return d;
    }
};

DriverFit fitOf(const test::TrueDriver& d, std::mt19937_64& random) {
    Fixture fixture;
    fixture.senseOhms = 10.0;
    test::NoisyWiring wiring;
    const std::vector<RatioTone> tones = test::seriesRecording(d, test::toneFrequencies(10, 20000, 12), wiring, random);
    const DriverFit fit = fitDriver(measureImpedance(tones, fixture).curve);
    EXPECT_EQ(fit.verdict, FitVerdict::Good) << fit.reason;
    return fit;
}

void expectClose(const Estimate& e, double truth, double tolerance) {
    EXPECT_NEAR(e.value / truth, 1.0, tolerance) << e.value << " against " << truth;
    EXPECT_GT(e.u95, 0.0);
}

const Mechanics kWoofer{{6.2, 0.45e-3, 38.0, 3.1, 0.42}, 0.0133, 0.0425};

TEST(AddedMass, GivesVasAndTheMechanicalParameters) {
    std::mt19937_64 random(21);
    const double mass = 0.3 * kWoofer.mms();
    const DriverFit free = fitOf(kWoofer.driver, random);
    const DriverFit loaded = fitOf(kWoofer.scaled((kWoofer.mms() + mass) / kWoofer.mms(), 1.0), random);
    const MechanicalParameters p = fromAddedMass(free, loaded, kWoofer.sd, mass);
    ASSERT_TRUE(p.valid());
    expectClose(p.vasLitres, kWoofer.vas * 1000.0, 0.05);
    expectClose(p.mmsGrams, kWoofer.mms() * 1000.0, 0.05);
    expectClose(p.cmsMmPerNewton, kWoofer.cms() * 1000.0, 0.05);
    expectClose(p.blTeslaMetres, kWoofer.bl(), 0.03);
    expectClose(p.rmsKgPerSecond, kTwoPi * 38.0 * kWoofer.mms() / 3.1, 0.05);
    // eta0 = rho Bl^2 Sd^2 / (2 pi c Re Mms^2), the efficiency in its other form.
    const double eta0 = 1.2041 * std::pow(kWoofer.bl() * kWoofer.sd, 2) /
                        (kTwoPi * 343.21 * kWoofer.driver.re * std::pow(kWoofer.mms(), 2));
    expectClose(p.eta0Percent, eta0 * 100.0, 0.05);
    EXPECT_NEAR(p.spl1w1mDb.value, 112.1 + 10.0 * std::log10(eta0), 0.3);
}

TEST(KnownBox, GivesVas) {
    std::mt19937_64 random(22);
    const double vb = 0.020;
    const DriverFit free = fitOf(kWoofer.driver, random);
    const DriverFit boxed = fitOf(kWoofer.scaled(1.0, 1.0 + kWoofer.vas / vb), random);
    const MechanicalParameters p = fromKnownBox(free, boxed, kWoofer.sd, vb);
    ASSERT_TRUE(p.valid());
    expectClose(p.vasLitres, kWoofer.vas * 1000.0, 0.05);
    expectClose(p.mmsGrams, kWoofer.mms() * 1000.0, 0.05);
}

ImpedanceCurve curveOf(const test::TrueDriver& d, std::mt19937_64& random) {
    Fixture fixture;
    fixture.senseOhms = 10.0;
    const std::vector<RatioTone> tones = test::seriesRecording(d, test::toneFrequencies(10, 20000, 12), {}, random);
    return measureImpedance(tones, fixture).curve;
}

TEST(DriverJson, HoldsEveryParameterWithItsIntervalAndTheClassicMethod) {
    std::mt19937_64 random(24);
    const double mass = 0.02;
    DriverRequest request;
    request.freeAir = curveOf(kWoofer.driver, random);
    request.sdSquareMetres = kWoofer.sd;
    request.loaded = LoadedRun{LoadedRun::Load::AddedMass,
                               curveOf(kWoofer.scaled((kWoofer.mms() + mass) / kWoofer.mms(), 1.0), random), mass};
    const DriverParameters result = analyzeDriver(request);
    const nlohmann::json doc = driverJson(result);
    EXPECT_EQ(doc["fit"]["verdict"], "good") << doc["fit"]["reason"];
    for (const char* key : {"re_ohm", "fs_hz", "qms", "qes", "qts", "le_mh", "vas_l", "mms_g", "cms_mm_per_n", "bl_tm",
                            "rms_kg_per_s", "eta0_percent", "spl_1w1m_db"}) {
        ASSERT_TRUE(doc["parameters"].contains(key)) << key;
        EXPECT_GT(doc["parameters"][key]["u95"].get<double>(), 0.0) << key;
    }
    EXPECT_NEAR(doc["parameters"]["vas_l"]["value"].get<double>(), 42.5, 42.5 * 0.05);
    for (const char* key : {"fs_hz", "qms", "qes", "qts"}) EXPECT_TRUE(doc["classic"].contains(key)) << key;
}

TEST(DriverJson, NoSdMeansNoMechanicalParametersAndSaysWhy) {
    std::mt19937_64 random(25);
    DriverRequest request;
    request.freeAir = curveOf(kWoofer.driver, random);
    request.loaded = LoadedRun{LoadedRun::Load::AddedMass, curveOf(kWoofer.scaled(1.3, 1.0), random), 0.02};
    const nlohmann::json doc = driverJson(analyzeDriver(request));
    EXPECT_FALSE(doc["parameters"].contains("vas_l"));
    EXPECT_NE(doc["mechanical_problem"].get<std::string>().find("area"), std::string::npos);
}

// A "loaded" run that did not lower the resonance cannot give a mass.
TEST(AddedMass, AResonanceThatDidNotMoveGivesNothing) {
    std::mt19937_64 random(23);
    const DriverFit free = fitOf(kWoofer.driver, random);
    const DriverFit same = fitOf(kWoofer.driver, random);
    EXPECT_FALSE(fromAddedMass(free, fitOf(kWoofer.scaled(1.0, 1.2), random), kWoofer.sd, 0.01).valid());
    const MechanicalParameters p = fromAddedMass(free, same, kWoofer.sd, 0.01);
    EXPECT_TRUE(!p.valid() || p.vasLitres.u95 > p.vasLitres.value);
}

}  // namespace
}  // namespace auralyn::impedance
