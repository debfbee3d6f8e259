// Fractional-octave smoothing against the direct definition: the mean over
// the log-frequency window of the continuous comb-filter response, computed
// by numpy on a fine grid (make_references.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "known_responses.h"
#include "reference_files.h"
#include "response/smoothing.h"

namespace auralyn::response {
namespace {

using test::referenceColumn;

// Tones whose whole window lies inside the curve and at or above `from` Hz.
bool comparable(const Response& r, std::size_t i, double width, double from) {
    const double f = r.tones[i].frequency;
    return f >= from && f * std::exp2(-width / 2) >= r.tones.front().frequency &&
           f * std::exp2(width / 2) <= r.tones.back().frequency;
}

void expectDbNear(const Response& smoothed, const std::vector<double>& reference, double width, double from) {
    std::size_t compared = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < smoothed.tones.size(); ++i) {
        if (!comparable(smoothed, i, width, from)) continue;
        ++compared;
        worst = std::max(worst, std::abs(smoothed.tones[i].magnitudeDb() - reference[i]));
        ASSERT_NEAR(smoothed.tones[i].magnitudeDb(), reference[i], 0.01) << "at " << smoothed.tones[i].frequency << " Hz";
    }
    EXPECT_GT(compared, 100u);
    std::printf("figure: smoothing (1/%.0f octave) against the direct definition: worst %.2e dB over %zu tones\n",
                1.0 / width, worst, compared);
}

TEST(Smoothing, ThirdOctaveOfACombOnALinearToneListMatchesTheDirectDefinition) {
    LOAD_REFERENCE(comb, "comb_linear.csv");
    const double width = 1.0 / 3.0;
    expectDbNear(smooth(comb, {3, SmoothingMode::power, false}), referenceColumn(comb, "ref_power_db"), width, 100.0);
    expectDbNear(smooth(comb, {3, SmoothingMode::db, false}), referenceColumn(comb, "ref_db_db"), width, 100.0);

    const Response complex = smooth(comb, {3, SmoothingMode::complex, false});
    expectDbNear(complex, referenceColumn(comb, "ref_complex_db"), width, 100.0);
    const std::vector<double> degrees = referenceColumn(comb, "ref_complex_deg");
    for (std::size_t i = 0; i < complex.tones.size(); ++i) {
        if (!comparable(complex, i, width, 100.0)) continue;
        ASSERT_NEAR(std::remainder(complex.tones[i].phaseDeg() - degrees[i], 360.0), 0.0, 0.05)
            << "at " << complex.tones[i].frequency << " Hz";
    }
}

TEST(Smoothing, SixthOctaveOfACombOnALogToneListMatchesTheDirectDefinition) {
    LOAD_REFERENCE(comb, "comb_log.csv");
    expectDbNear(smooth(comb, {6, SmoothingMode::power, false}), referenceColumn(comb, "ref_power_db"), 1.0 / 6.0, 20.0);
}

TEST(Smoothing, PowerAndDbModesKeepThePhaseAndTheIntervals) {
    Response r = test::sampled(test::logTones(48), [](double f) { return test::analogHighpass(f, 100.0, 8.0); });
    for (Tone& tone : r.tones) tone.magnitudeU95Db = 0.1, tone.phaseU95Deg = 0.5;
    for (SmoothingMode mode : {SmoothingMode::power, SmoothingMode::db}) {
        const Response s = smooth(r, {3, mode, false});
        for (std::size_t i = 0; i < r.tones.size(); ++i) {
            EXPECT_EQ(s.tones[i].phase, r.tones[i].phase);
            EXPECT_EQ(s.tones[i].magnitudeU95Db, 0.1);
        }
        std::size_t peak = 0;
        for (std::size_t i = 0; i < r.tones.size(); ++i)
            if (r.tones[i].magnitude > r.tones[peak].magnitude) peak = i;
        EXPECT_LT(s.tones[peak].magnitudeDb(), r.tones[peak].magnitudeDb() - 0.5);  // the resonance's peak is lowered
    }
}

TEST(Smoothing, WindowsCutByTheCurvesEndsAreFlagged) {
    const Response r = test::sampled(test::logTones(12, 100.0, 1600.0), [](double) { return 1.0; });
    const Response s = smooth(r, {1, SmoothingMode::power, false});
    EXPECT_TRUE(s.tones.front().flags & kWindowCut);
    EXPECT_TRUE(s.tones.back().flags & kWindowCut);
    EXPECT_FALSE(s.tones[24].flags & kWindowCut);
    for (const Tone& tone : s.tones) EXPECT_NEAR(tone.magnitude, 1.0, 1e-12);  // a flat curve stays flat
}

TEST(Smoothing, WindowsWiderThanTheCurveAndBadFractionsAreRefused) {
    const Response r = test::sampled({1000.0, 1100.0, 1200.0}, [](double) { return 1.0; });
    EXPECT_THROW(smooth(r, {3, SmoothingMode::power, false}), Error);  // the curve spans 0.26 octaves
    EXPECT_NO_THROW(smooth(r, {6, SmoothingMode::power, false}));
    EXPECT_THROW(smooth(r, {0, SmoothingMode::power, false}), Error);
    EXPECT_THROW(smooth(r, {97, SmoothingMode::power, false}), Error);
}

TEST(Smoothing, TheVariablePresetWidensFromA48thToAThirdOfAnOctave) {
    EXPECT_DOUBLE_EQ(variableWidthOctaves(20.0), 1.0 / 48.0);
    EXPECT_DOUBLE_EQ(variableWidthOctaves(100.0), 1.0 / 48.0);
    EXPECT_NEAR(variableWidthOctaves(1000.0), 1.0 / 12.0, 1e-12);  // halfway on the log axis: geometric mean
    EXPECT_DOUBLE_EQ(variableWidthOctaves(10000.0), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(variableWidthOctaves(20000.0), 1.0 / 3.0);
    // A dip at 15 kHz is smoothed far more than the same dip at 60 Hz.
    const auto dips = [](double f) {
        return std::complex<double>(1.0 - 0.9 * std::exp(-std::pow(std::log2(f / 60.0) * 40.0, 2.0)) -
                                    0.9 * std::exp(-std::pow(std::log2(f / 15000.0) * 40.0, 2.0)));
    };
    const Response r = test::sampled(test::logTones(192), dips);
    const Response s = smooth(r, {0, SmoothingMode::power, true});
    const auto at = [&](double f) {
        std::size_t best = 0;
        for (std::size_t i = 0; i < s.tones.size(); ++i)
            if (std::abs(s.tones[i].frequency - f) < std::abs(s.tones[best].frequency - f)) best = i;
        return s.tones[best].magnitudeDb();
    };
    EXPECT_LT(at(60.0), -6.0);
    EXPECT_GT(at(15000.0), -1.0);
}

}  // namespace
}  // namespace auralyn::response
