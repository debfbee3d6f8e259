#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "echoplot/measurement.h"

namespace auralyn::echoplot {
namespace {

Measurement parsed(const std::string& csv) {
    Measurement m;
    std::string error;
    EXPECT_TRUE(parseCsvMeasurement(csv, m, error)) << error;
    return m;
}

TEST(CsvMeasurement, ReadsTheFixedColumnsAndIgnoresLaterOnes) {
    const Measurement m = parsed("frequency_hz,amplitude,magnitude_db,phase_deg,thd_percent,note\n"
                                 "20,32767,0,-1.5,0.1,x\n40,16383.5,,-3,,\n80,0,-inf,0,,\n160,1,2,,,\n");
    ASSERT_EQ(m.points.size(), 4u);
    EXPECT_DOUBLE_EQ(m.points[0]->magnitudeDb, 0.0);
    EXPECT_DOUBLE_EQ(m.points[0]->phaseDegrees, -1.5);
    EXPECT_NEAR(m.points[1]->magnitudeDb, -6.0206, 1e-4);  // from the amplitude
    EXPECT_FALSE(m.points[2]);                              // silent
    EXPECT_FALSE(m.points[3]);                              // no phase
    EXPECT_EQ(drawnCount(m), 2u);
}

TEST(CsvMeasurement, RefusesOtherColumnsAndBrokenRows) {
    Measurement m;
    std::string error;
    EXPECT_FALSE(parseCsvMeasurement("frequency_hz,amplitude,magnitude_dbx,phase_deg\n1,1,1,1\n", m, error));
    EXPECT_NE(error.find("line 1: expected the column names"), std::string::npos);
    EXPECT_FALSE(parseCsvMeasurement("frequency_hz,amplitude,magnitude_db,phase_deg\n,1,1,1\n", m, error));
    EXPECT_NE(error.find("line 2: a tone needs a frequency"), std::string::npos);
    EXPECT_FALSE(parseCsvMeasurement("frequency_hz,amplitude,magnitude_db,phase_deg\n1, 1,1,1\n", m, error));
    EXPECT_NE(error.find("' 1' in column amplitude is not a number"), std::string::npos);
}

TEST(Normalize, ExactToneOrInterpolatedOnTheLogFrequencyAxis) {
    Measurement m = parsed("frequency_hz,amplitude,magnitude_db,phase_deg\n100,,-10,0\n1000,,-20,5\n");
    Measurement exact = m;
    std::string error;
    ASSERT_TRUE(normalizeAt(exact, 1000.0, error)) << error;
    EXPECT_DOUBLE_EQ(exact.points[0]->magnitudeDb, 10.0);
    EXPECT_DOUBLE_EQ(exact.points[1]->magnitudeDb, 0.0);
    EXPECT_DOUBLE_EQ(exact.points[1]->phaseDegrees, 5.0);
    // 316.23 Hz is half the decade: halfway between -10 and -20 dB.
    ASSERT_TRUE(normalizeAt(m, std::sqrt(10.0) * 100.0, error)) << error;
    EXPECT_NEAR(m.points[0]->magnitudeDb, 5.0, 1e-12);
    EXPECT_NEAR(m.points[1]->magnitudeDb, -5.0, 1e-12);
}

TEST(Normalize, RefusesAFrequencyOutsideTheDrawnTones) {
    Measurement m = parsed("frequency_hz,amplitude,magnitude_db,phase_deg\n50,0,,0\n100,,-10,0\n1000,,-20,5\n");
    m.path = "m.csv";
    std::string error;
    EXPECT_FALSE(normalizeAt(m, 50.0, error));  // only a silent tone there
    EXPECT_EQ(error, "m.csv: --normalize 50 Hz lies outside the measured frequencies (100 to 1000 Hz)");
    EXPECT_FALSE(normalizeAt(m, 1000.5, error));
    EXPECT_DOUBLE_EQ(m.points[1]->magnitudeDb, -10.0);  // untouched
}

}  // namespace
}  // namespace auralyn::echoplot
