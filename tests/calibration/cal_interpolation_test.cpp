#include <gtest/gtest.h>

#include <cmath>

#include "calibration/cal_file.h"
#include "calibration/cal_interpolation.h"

namespace auralyn::calibration {
namespace {

TEST(CalInterpolation, LinearInDbAgainstLogFrequency) {
    const CalCurve curve = parseCalText("100 0 0\n1000 6 -90\n10000 -6 170\n", "c.txt");
    // sqrt(100 * 1000) lies half way in log frequency: 3 dB, -45 degrees.
    const auto middle = responseAt(curve, std::sqrt(100.0 * 1000.0));
    ASSERT_TRUE(middle);
    EXPECT_NEAR(middle->db, 3.0, 1e-12);
    EXPECT_NEAR(*middle->phaseDeg, -45.0, 1e-9);
    // 200 Hz: log10(2) of the way from 100 Hz to 1 kHz.
    EXPECT_NEAR(responseAt(curve, 200.0)->db, 6.0 * std::log10(2.0), 1e-12);
    // 2 kHz: 6 - 12 log10(2) = 2.3876 dB.
    EXPECT_NEAR(responseAt(curve, 2000.0)->db, 2.387640052032, 1e-9);
    // The rows themselves and the ends are the file's values.
    EXPECT_EQ(responseAt(curve, 1000.0)->db, 6.0);
    EXPECT_EQ(responseAt(curve, 100.0)->db, 0.0);
    EXPECT_EQ(responseAt(curve, 10000.0)->db, -6.0);
}

TEST(CalInterpolation, PhaseTakesTheShortWayAcross180Degrees) {
    const CalCurve curve = parseCalText("1000 0 170\n4000 0 -170\n", "c.txt");
    const auto value = responseAt(curve, 2000.0);  // half way
    ASSERT_TRUE(value && value->phaseDeg);
    EXPECT_NEAR(std::abs(*value->phaseDeg), 180.0, 1e-9);
}

TEST(CalInterpolation, OutsideTheRangeThereIsNothing) {
    const CalCurve curve = parseCalText("20 1\n20000 2\n", "c.txt");
    EXPECT_FALSE(responseAt(curve, 19.999));
    EXPECT_FALSE(responseAt(curve, 20000.01));
    EXPECT_FALSE(responseAt(curve, std::nan("")));
    EXPECT_TRUE(responseAt(curve, 20.0));
    EXPECT_EQ(rangeText(curve), "20 Hz .. 20000 Hz");
}

TEST(CalInterpolation, InvertedFileHoldsTheCorrection) {
    const CalCurve curve = parseCalText("20 1.5 30\n20000 2.5 40\n", "c.txt");
    const auto value = responseAt(curve, 20.0, true);
    EXPECT_EQ(value->db, -1.5);
    EXPECT_EQ(value->phaseDeg, -30.0);
}

TEST(CalInterpolation, StatedPointUncertaintyIsInterpolatedAsStandard) {
    const CalCurve curve = parseCalText("100 0 0 0.4\n10000 0 0 0.8\n", "c.txt");
    EXPECT_NEAR(responseAt(curve, 1000.0)->pointStandardDb, 0.3, 1e-12);  // (0.4 + 0.8) / 2 / 2
}

// A smooth curve sampled sparsely: the straight line's error between rows
// stays inside the stated bound almost everywhere, and the bound vanishes
// where the rows are dense.
TEST(CalInterpolation, BoundCoversTheErrorOfSparseRows) {
    const auto shelf = [](double f) { return 3.0 / (1.0 + std::pow(8000.0 / f, 2.0)) - 6.0 / (1.0 + std::pow(f / 20.0, 2.0)); };
    const auto table = [&](int rowsPerDecade) {
        std::string text;
        const int rows = 3 * rowsPerDecade;
        for (int i = 0; i <= rows; ++i) {
            const double f = 20.0 * std::pow(10.0, 3.0 * i / rows);
            text += std::to_string(f) + " " + std::to_string(shelf(f)) + "\n";
        }
        return parseCalText(text, "shelf.txt");
    };
    const CalCurve sparse = table(3);
    int inside = 0, total = 0;
    double largestError = 0.0;
    for (double f = 25.0; f < 19000.0; f *= 1.013) {
        const auto value = responseAt(sparse, f);
        ASSERT_TRUE(value);
        const double error = std::abs(value->db - shelf(f));
        largestError = std::max(largestError, error);
        inside += error <= value->interpolationHalfWidthDb + 1e-6;
        ++total;
    }
    EXPECT_GT(largestError, 0.1);  // sparse enough to matter
    EXPECT_GE(inside, total * 99 / 100);
    const CalCurve dense = table(48);
    EXPECT_LT(responseAt(dense, 10000.0)->interpolationHalfWidthDb, 0.002);
}

}  // namespace
}  // namespace auralyn::calibration
