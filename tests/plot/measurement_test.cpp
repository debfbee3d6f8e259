#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "plot/measurement.h"

namespace auralyn::plot {
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

TEST(CsvMeasurement, KeepsTheQualityColumnsByNameInAnyOrder) {
    // Shuffled, with an unknown column between, a row cut short and values that are empty or not finite.
    const Measurement m = parsed("frequency_hz,amplitude,magnitude_db,phase_deg,phase_u95_deg,h3_dbc,comment,"
                                 "noise_floor_dbfs,h10_dbc,thd_db,h2_dbc,magnitude_u95_db,snr_db,h11_dbc\n"
                                 "100,,-3,10,0.5,-56.5,x,-101.25,-95,-49.9,-50.1,0.02,98.2,7\n"
                                 "200,,-3,20,,,,nan,,,-48,,\n"
                                 "400,0,,0,2,-60\n");
    ASSERT_EQ(m.quality.size(), 3u);
    EXPECT_EQ(m.qualityColumns, (std::vector<std::string>{"phase_u95_deg", "h3_dbc", "noise_floor_dbfs", "h10_dbc",
                                                           "thd_db", "h2_dbc", "magnitude_u95_db", "snr_db"}));
    const ToneQuality& first = m.quality[0];
    EXPECT_DOUBLE_EQ(first.frequency, 100.0);
    EXPECT_DOUBLE_EQ(*first.phaseU95Deg, 0.5);
    EXPECT_DOUBLE_EQ(*first.harmonicDbc[1], -56.5);
    EXPECT_DOUBLE_EQ(*first.noiseFloorDbfs, -101.25);
    EXPECT_DOUBLE_EQ(*first.harmonicDbc[8], -95.0);
    EXPECT_DOUBLE_EQ(*first.thdDb, -49.9);
    EXPECT_DOUBLE_EQ(*first.harmonicDbc[0], -50.1);
    EXPECT_DOUBLE_EQ(*first.magnitudeU95Db, 0.02);
    EXPECT_DOUBLE_EQ(*first.snrDb, 98.2);
    EXPECT_FALSE(first.thdPercent);  // not in the file
    const ToneQuality& second = m.quality[1];
    EXPECT_DOUBLE_EQ(*second.harmonicDbc[0], -48.0);
    EXPECT_FALSE(second.noiseFloorDbfs);  // nan
    EXPECT_FALSE(second.thdDb);
    EXPECT_FALSE(second.phaseU95Deg);
    // A silent tone keeps its values; the fields the row lacks have none.
    EXPECT_FALSE(m.points[2]);
    EXPECT_DOUBLE_EQ(*m.quality[2].phaseU95Deg, 2.0);
    EXPECT_DOUBLE_EQ(*m.quality[2].harmonicDbc[1], -60.0);
    EXPECT_FALSE(m.quality[2].snrDb);

    std::string missing;
    EXPECT_TRUE(hasColumns(m, kDistortionColumns, missing));  // thd, h2, h3, noise floor: all there
    EXPECT_EQ(missing, "");
}

TEST(CsvMeasurement, NamesTheColumnsThatAreMissingOrNotNumbers) {
    Measurement m = parsed("frequency_hz,amplitude,magnitude_db,phase_deg,thd_db,magnitude_u95_db\n1,1,1,1,-40,\n");
    std::string missing;
    EXPECT_FALSE(hasColumns(m, kDistortionColumns, missing));
    EXPECT_EQ(missing, "h2_dbc, h3_dbc, noise_floor_dbfs");
    EXPECT_FALSE(hasColumns(m, kUncertaintyColumns, missing));
    EXPECT_EQ(missing, "phase_u95_deg");
    std::string error;
    EXPECT_FALSE(parseCsvMeasurement("frequency_hz,amplitude,magnitude_db,phase_deg,note,h2_dbc\n1,1,1,1,a,-5x\n", m,
                                     error));
    EXPECT_EQ(error, "line 2: '-5x' in column h2_dbc is not a number");
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
}  // namespace auralyn::plot
