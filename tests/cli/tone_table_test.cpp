// The per-tone tables: column names and order, precision, absent values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/tone_table.h"

namespace auralyn::cli {
namespace {

analysis::ToneMeasurement tone(double frequency, double amplitude, double unwrappedPhase) {
    analysis::ToneMeasurement t;
    t.frequency = frequency;
    t.amplitude = amplitude;
    t.phase = t.unwrappedPhase = unwrappedPhase;  // these tones need no unwrapping
    return t;
}

TEST(ToneTable, CsvStartsWithTheFixedColumnsAndKeepsFullPrecision) {
    const std::vector<analysis::ToneMeasurement> tones{tone(1000.1, 32767.0, -M_PI / 2), tone(0.1, 16383.5, 0.0)};
    const std::string csv = toneTableCsv(standardToneColumns(), tones);
    char halfScale[40];
    std::snprintf(halfScale, sizeof halfScale, "%.17g", 20.0 * std::log10(0.5));
    EXPECT_EQ(csv, std::string("frequency_hz,amplitude,magnitude_db,phase_deg\n"
                               "1000.1,32767,0,-90\n"
                               "0.10000000000000001,16383.5,") +
                       halfScale + ",0\n");
    // Every field reads back to the very double.
    EXPECT_EQ(std::strtod("0.10000000000000001", nullptr), 0.1);
}

TEST(ToneTable, SilentAndBrokenValuesAreEmptyNeverNanOrInf) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<analysis::ToneMeasurement> tones{tone(20, 0.0, 0.0), tone(30, nan, inf), tone(40, -inf, nan)};
    const std::string csv = toneTableCsv(standardToneColumns(), tones);
    EXPECT_EQ(csv,
              "frequency_hz,amplitude,magnitude_db,phase_deg\n"
              "20,0,,0\n"
              "30,,,\n"
              "40,,,\n");
    EXPECT_EQ(csv.find("nan"), std::string::npos);
    EXPECT_EQ(csv.find("inf"), std::string::npos);

    const nlohmann::json json = nlohmann::json::parse(toneTableJson({}, standardToneColumns(), tones));
    EXPECT_TRUE(json["tones"][0]["magnitude_db"].is_null());
    EXPECT_EQ(json["tones"][0]["amplitude"], 0.0);
    EXPECT_TRUE(json["tones"][1]["amplitude"].is_null());
    EXPECT_TRUE(json["tones"][1]["phase_deg"].is_null());
    EXPECT_TRUE(json["tones"][2]["amplitude"].is_null());
}

TEST(ToneTable, JsonHoldsTheSummaryFirstThenEveryToneWithEveryColumn) {
    const std::vector<analysis::ToneMeasurement> tones{tone(20, 100.0, 2 * M_PI), tone(40, 200.0, -1.0)};
    const std::string text = toneTableJson({{"sample_rate", 48000}, {"clock_ppm", jsonNumber(std::nullopt)}},
                                           standardToneColumns(), tones);
    EXPECT_LT(text.find("\"sample_rate\""), text.find("\"clock_ppm\""));
    EXPECT_LT(text.find("\"clock_ppm\""), text.find("\"tones\""));
    const nlohmann::json json = nlohmann::json::parse(text);
    EXPECT_EQ(json["sample_rate"], 48000);
    EXPECT_TRUE(json["sample_rate"].is_number_integer());
    EXPECT_TRUE(json["clock_ppm"].is_null());
    ASSERT_EQ(json["tones"].size(), 2u);
    EXPECT_EQ(json["tones"][1]["frequency_hz"].get<double>(), 40.0);
    EXPECT_EQ(json["tones"][1]["amplitude"].get<double>(), 200.0);
    EXPECT_EQ(json["tones"][1]["magnitude_db"].get<double>(), 20.0 * std::log10(200.0 / 32767.0));
    EXPECT_NEAR(json["tones"][0]["phase_deg"].get<double>(), 360.0, 1e-12);
    EXPECT_NEAR(json["tones"][1]["phase_deg"].get<double>(), -57.29577951308232, 1e-12);
}

TEST(ToneTable, AddedColumnsFollowTheFixedOnes) {
    std::vector<ToneColumn> columns = standardToneColumns();
    columns.push_back({"block_samples", [](const analysis::ToneMeasurement& t) -> std::optional<double> {
                           return t.blockLength;
                       }});
    analysis::ToneMeasurement t = tone(20, 1.0, 0.0);
    t.blockLength = 24000;
    const std::string csv = toneTableCsv(columns, {t});
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "frequency_hz,amplitude,magnitude_db,phase_deg,block_samples");
    EXPECT_NE(csv.find(",24000\n"), std::string::npos);
    EXPECT_EQ(toneTableCsv(columns, {}), "frequency_hz,amplitude,magnitude_db,phase_deg,block_samples\n");
}

}  // namespace
}  // namespace auralyn::cli
