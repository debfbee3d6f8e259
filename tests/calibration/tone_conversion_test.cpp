#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "calibration/tone_conversion.h"

namespace auralyn::calibration {
namespace {

const UncertaintyComponent* find(const CalibratedTone& tone, const std::string& name) {
    for (const auto& component : tone.components) {
        if (component.name == name) return &component;
    }
    return nullptr;
}

CalibrationChain acousticChain() {
    CalibrationChain chain;
    chain.micCal = parseCalText("20 -2\n1000 0\n10000 3\n", "mic.txt");
    InputCalibration input;
    input.dbfsAt94DbSpl = -30.0;
    input.frequencyHz = 1000.0;
    input.toleranceDb = 0.4;
    chain.input = input;
    return chain;
}

TEST(ToneConversion, SplTakesTheMicrophoneOut) {
    const CalibrationChain chain = acousticChain();
    // 10 kHz recorded at -24 dBFS: the microphone adds 3 dB, so 94 + 6 - 3.
    const CalibratedTone tone = calibrateTone(chain, {10000.0, -24.0, std::nullopt, 0.1});
    EXPECT_EQ(tone.calibrated, true);
    EXPECT_EQ(tone.micCalDb, 3.0);
    EXPECT_NEAR(*tone.splDb, 97.0, 1e-12);
    EXPECT_FALSE(tone.dbv);
    EXPECT_FALSE(tone.gainDb);
    ASSERT_TRUE(find(tone, "calibrator_tolerance"));
    EXPECT_NEAR(find(tone, "calibrator_tolerance")->standardDb, 0.4 / std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(find(tone, "measurement")->standardDb, 0.1 / 1.959963984540054, 1e-12);
    EXPECT_GT(*tone.u95Db, 0.1);
}

TEST(ToneConversion, OutsideTheCalFileNothingPhysicalIsClaimed) {
    const CalibratedTone tone = calibrateTone(acousticChain(), {15000.0, -24.0, std::nullopt, 0.1});
    EXPECT_EQ(tone.calibrated, false);
    EXPECT_FALSE(tone.micCalDb);
    EXPECT_FALSE(tone.splDb);
    EXPECT_FALSE(find(tone, "calibrator_tolerance"));
    const CalibratedTone silent = calibrateTone(acousticChain(), {1000.0, std::nullopt, std::nullopt, std::nullopt});
    EXPECT_FALSE(silent.splDb);
    EXPECT_FALSE(silent.u95Db);
    EXPECT_FALSE(calibrateTone(CalibrationChain{}, {1000.0, -3.0, std::nullopt, 0.1}).calibrated);
}

TEST(ToneConversion, CalibratorAwayFromTheTablesZeroIsCorrected) {
    CalibrationChain chain = acousticChain();
    chain.input->frequencyHz = 10000.0;  // read where the microphone gives +3 dB
    EXPECT_NEAR(*calibrateTone(chain, {10000.0, -30.0, std::nullopt, 0.1}).splDb, 94.0, 1e-12);
    EXPECT_NEAR(*calibrateTone(chain, {1000.0, -30.0, std::nullopt, 0.1}).splDb, 97.0, 1e-12);
}

TEST(ToneConversion, DriveVoltageAndDistance) {
    CalibrationChain chain = acousticChain();
    OutputCalibration output;
    output.voltsRmsAtFullScale = 2.0;
    output.toleranceDb = 0.1;
    chain.output = output;
    chain.driveVolts = 2.83;
    // Played at -12 dBFS: 0.5024 V; normalised to 2.83 V adds 20 log10(2.83 / 0.5024).
    const double played = -12.0;
    const double actual = 2.0 * std::pow(10.0, played / 20.0);
    const CalibratedTone tone = calibrateTone(chain, {1000.0, -40.0, played, 0.1});
    EXPECT_NEAR(*tone.splDb, 84.0 + 20.0 * std::log10(2.83 / actual), 1e-12);
    EXPECT_TRUE(find(tone, "output_calibration"));
    chain.distanceM = 0.5;
    chain.normalizeDistanceM = 1.0;
    EXPECT_NEAR(*calibrateTone(chain, {1000.0, -40.0, played, 0.1}).splDb,
                84.0 + 20.0 * std::log10(2.83 / actual) - 20.0 * std::log10(2.0), 1e-12);
}

TEST(ToneConversion, ElectricalLevelsAndGain) {
    CalibrationChain chain;
    InputCalibration input;
    input.dbfsAt1Vrms = -10.0;  // 1 V RMS reads -10 dBFS
    chain.input = input;
    OutputCalibration output;
    output.voltsRmsAtFullScale = 1.0;
    chain.output = output;
    const CalibratedTone tone = calibrateTone(chain, {1000.0, -16.0, -6.0, 0.05});
    EXPECT_NEAR(*tone.dbv, -6.0, 1e-12);
    EXPECT_NEAR(*tone.gainDb, 0.0, 1e-12);
    EXPECT_FALSE(tone.splDb);
    chain.output.reset();
    chain.driveVolts = 0.5;
    EXPECT_NEAR(*calibrateTone(chain, {1000.0, -16.0, -6.0, 0.05}).gainDb, -6.0 - 20.0 * std::log10(0.5), 1e-12);
}

TEST(ToneConversion, HeaderSensitivityAndInputGainAdd) {
    CalHeader header;
    header.sensitivityDbv = -38.6;
    EXPECT_NEAR(*dbfsAt94FromHeader(header, 10.0), -28.6, 1e-12);
    header = {};
    header.sensFactorDb = -1.378;
    EXPECT_NEAR(*dbfsAt94FromHeader(header, -18.0), -19.378, 1e-12);
    EXPECT_FALSE(dbfsAt94FromHeader(CalHeader{}, 0.0));
}

TEST(UncertaintyBudget, NormalTermsCombineAsRootSumSquare) {
    const std::vector<UncertaintyComponent> normal = {{"a", 0.3, Distribution::normal}, {"b", 0.4, Distribution::normal}};
    EXPECT_NEAR(combinedStandard(normal), 0.5, 1e-12);
    EXPECT_NEAR(expanded95(normal), 1.959963984540054 * 0.5, 1e-12);
    EXPECT_EQ(expanded95({}), 0.0);
}

TEST(UncertaintyBudget, DominantRectangularTermGivesItsOwn95PercentInterval) {
    // A rectangular distribution alone: 95 % of it lies within 0.95 of its half-width.
    EXPECT_NEAR(expanded95({{"tol", rectangularStandard(0.4), Distribution::rectangular}}), 0.95 * 0.4, 0.005);
    // Two equal rectangles make a triangle: 95 % within (1 - sqrt(0.05)) of the base half-width.
    const double triangle = expanded95({{"a", rectangularStandard(0.2), Distribution::rectangular},
                                        {"b", rectangularStandard(0.2), Distribution::rectangular}});
    EXPECT_NEAR(triangle, 0.4 * (1.0 - std::sqrt(0.05)), 0.005);
}

// Over many simulated calibrations, the calibrated level's 95 % interval
// holds the true level as often as it claims: the calibrator's true level
// anywhere within its tolerance, the measurement and the cal file's points
// off by normal errors of their stated sizes.
TEST(UncertaintyBudget, CoverageOfTheCalibratedLevel) {
    std::mt19937 random(11);
    const struct {
        double toleranceDb, measurementU95, pointU95;
    } setups[] = {{0.4, 0.05, 0.0}, {0.4, 0.5, 0.2}, {0.1, 0.3, 0.0}, {1.0, 0.02, 0.3}};
    for (const auto& setup : setups) {
        SCOPED_TRACE(setup.toleranceDb);
        std::uniform_real_distribution<double> calibrator(-setup.toleranceDb, setup.toleranceDb);
        std::normal_distribution<double> measurement(0.0, setup.measurementU95 / 1.959963984540054);
        std::normal_distribution<double> point(0.0, setup.pointU95 / 2.0);
        const std::string table = "100 0 0 " + std::to_string(setup.pointU95) + "\n10000 0 0 " + std::to_string(setup.pointU95) + "\n";
        const int trials = 1000;
        int inside = 0;
        for (int trial = 0; trial < trials; ++trial) {
            // The truth: 100 dB SPL at 100 Hz; the microphone flat. What the
            // user believes differs by the calibrator's error and the file's
            // (the calibrator's tone outside the file, so that the file's
            // error does not cancel against it).
            const double calibratorError = calibrator(random);
            CalibrationChain chain;
            chain.micCal = parseCalText(table, "m.txt");
            for (auto& row : chain.micCal->points) row.db = point(random);
            InputCalibration input;
            input.dbfsAt94DbSpl = -30.0 + calibratorError;  // what the calibrator reading claims
            input.frequencyHz = 50.0;
            input.toleranceDb = setup.toleranceDb;
            chain.input = input;
            const double recorded = -30.0 + 6.0 + measurement(random);
            const CalibratedTone tone = calibrateTone(chain, {100.0, recorded, std::nullopt, setup.measurementU95});
            inside += std::abs(*tone.splDb - 100.0) <= *tone.u95Db;
        }
        const double share = static_cast<double>(inside) / trials;
        EXPECT_GE(share, 0.93);
        EXPECT_LE(share, 0.975);
    }
}

}  // namespace
}  // namespace auralyn::calibration
