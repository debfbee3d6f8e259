// auralyn analyze's harmonic columns on recordings made through `auralyn
// simulate`: a polynomial device's harmonics and distortion as computed here,
// and a linear device in noise with none reported, only bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "simulated_analyses.h"

namespace auralyn::test::simulated {
namespace {

TEST(AnalyzeClock, APolynomialDeviceShowsItsHarmonics) {
    TempDir dir;
    makeSweep(dir);
    // x = A sin: a2 x^2 gives H2 of a2 A^2 / 2, a3 x^3 H3 of a3 A^3 / 4 and 3 a3 A^3 / 4 more fundamental.
    const double gainDb = -6.0, a2 = 0.02, a3 = 0.03;
    simulate(dir, "poly.wav", {"--gain", "-6", "--polynomial", "0.02", "0.03"});
    const Analysis a = analyze(dir, "poly.wav");
    ASSERT_EQ(a.run.exitCode, 0) << a.run.err;
    const double amplitude = std::pow(10.0, gainDb / 20.0);
    const double fundamental = amplitude + 0.75 * a3 * amplitude * amplitude * amplitude;
    const double h2 = 20.0 * std::log10(a2 * amplitude * amplitude / 2.0 / fundamental);
    const double h3 = 20.0 * std::log10(a3 * amplitude * amplitude * amplitude / 4.0 / fundamental);
    const double thd = 10.0 * std::log10(std::pow(10.0, h2 / 10.0) + std::pow(10.0, h3 / 10.0));
    std::size_t checked = 0;
    for (const Tone& tone : a.tones) {
        EXPECT_NEAR(tone.magnitudeDb, 20.0 * std::log10(fundamental), 0.01) << tone.frequency;
        if (3.0 * tone.frequency >= 24000.0) continue;
        EXPECT_NEAR(tone.row["h2_dbc"].get<double>(), h2, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["h3_dbc"].get<double>(), h3, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["thd_db"].get<double>(), thd, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["thd_percent"].get<double>(), 100.0 * std::pow(10.0, thd / 20.0), 0.01);
        EXPECT_GE(tone.row["thdn_db"].get<double>(), thd - 0.1);
        // No fifth harmonic is made: none stands clear of the noise, none is reported.
        EXPECT_TRUE(tone.row["h5_dbc"].is_null()) << tone.frequency;
        EXPECT_TRUE(tone.row["thd_db_upper"].is_null()) << tone.frequency;
        ++checked;
    }
    EXPECT_GT(checked, 15u);
    // A harmonic at or above half the rate has no value.
    EXPECT_TRUE(a.tones.back().row["h2_dbc"].is_null());
}

TEST(AnalyzeClock, ALinearDeviceInNoiseShowsNoHarmonicsAndBoundsTheDistortion) {
    TempDir dir;
    makeSweep(dir);
    // 6 dB down, so that the filters' rise near 5 kHz does not clip (clipping makes harmonics).
    simulate(dir, "linear.wav", joined(kDevice, {"--gain", "-6", "--noise", "-60", "3"}));
    const Analysis a = analyze(dir, "linear.wav");
    ASSERT_EQ(a.run.exitCode, 0) << a.run.err;
    ASSERT_FALSE(a.tones.empty());
    std::size_t bounded = 0;
    for (const Tone& tone : a.tones) {
        for (const char* column : {"h2_dbc", "h3_dbc", "h4_dbc", "h5_dbc", "h6_dbc", "h7_dbc", "h8_dbc", "h9_dbc", "h10_dbc"})
            EXPECT_TRUE(tone.row[column].is_null()) << tone.frequency << " " << column;
        EXPECT_TRUE(tone.row["thd_db"].is_null()) << tone.frequency;
        EXPECT_TRUE(tone.row["thd_percent"].is_null()) << tone.frequency;
        bounded += tone.row["thd_db_upper"].is_number() ? 1 : 0;
    }
    EXPECT_GT(bounded, a.tones.size() / 2);
    // In the CSV the same fields are empty: h2..h10, thd_db (and its percent) hold nothing.
    std::istringstream lines(a.csv);
    std::string header;
    std::getline(lines, header);
    EXPECT_NE(header.find(",thd_db,thd_db_upper,thd_percent,"), std::string::npos) << header;
    std::string row;
    std::getline(lines, row);
    EXPECT_NE(row.find(",,,,,,,,,,"), std::string::npos) << row;
}

}  // namespace
}  // namespace auralyn::test::simulated
