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


// The document as a tree, dumped whole: what the writer must match byte for byte.
std::string treeDump(const std::vector<SummaryField>& summary, const std::vector<ToneColumn>& columns,
                     const std::vector<analysis::ToneMeasurement>& tones) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const SummaryField& field : summary) document[field.first] = field.second;
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const analysis::ToneMeasurement& t : tones) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (const ToneColumn& column : columns) row[column.name] = jsonValue(column, t);
        rows.push_back(std::move(row));
    }
    document["tones"] = std::move(rows);
    return document.dump(2) + "\n";
}

// Columns that exercise the writer's corners: nested lists and objects,
// words that need escaping, booleans, a name given twice.
std::vector<ToneColumn> awkwardColumns() {
    std::vector<ToneColumn> columns = analysisToneColumns();
    columns.push_back({"steady", [](const analysis::ToneMeasurement& t) -> std::optional<double> {
                           return t.amplitude > 100.0 ? 1.0 : 0.0;
                       }, true});
    columns.push_back({"flag", {}, false, {}, [](const analysis::ToneMeasurement& t) -> std::optional<std::string> {
                           if (t.frequency > 30.0) return std::nullopt;
                           return std::string("tab\there \"quoted\" \xc3\xa9");
                       }});
    columns.push_back({"steps", {}, false, [](const analysis::ToneMeasurement& t) {
                           nlohmann::ordered_json steps = nlohmann::ordered_json::array();
                           if (t.frequency > 30.0) return steps;
                           steps.push_back({{"at_s", 0.25}, {"turn_deg", -12.5}, {"parts", {1, 2, nullptr}}});
                           steps.push_back(nlohmann::ordered_json::object());
                           return steps;
                       }});
    // A later column of an earlier name takes its place with its own value.
    columns.push_back({"amplitude", [](const analysis::ToneMeasurement& t) -> std::optional<double> { return -t.amplitude; }});
    return columns;
}

TEST(ToneTable, JsonIsTheTextOfTheWholeTreeDumped) {
    std::vector<analysis::ToneMeasurement> tones{tone(20, 100.0, 2 * M_PI), tone(40, 200.0, -1.0),
                                                 tone(1e-7, 1.0 / 3.0, 1e300)};
    tones[1].quality = analysis::ToneQuality{};
    tones[1].quality->noiseFloorDbfs = -123.45678901234567;
    tones[1].quality->harmonicDbc[3] = std::numeric_limits<double>::quiet_NaN();
    const nlohmann::ordered_json model = {{"model", "constant"}, {"tones", 3}, {"empty", nlohmann::ordered_json::array()}};
    const std::vector<SummaryField> summary{{"status", "ok"},          {"clock_ppm", 8.153955688939403e-06},
                                            {"jumps", nlohmann::ordered_json::array()}, {"clock_model", model},
                                            {"status", "again"},       {"nothing", nlohmann::ordered_json::object()}};
    const std::vector<ToneColumn> columns = awkwardColumns();
    EXPECT_EQ(toneTableJson(summary, columns, tones), treeDump(summary, columns, tones));
    EXPECT_EQ(toneTableJson(summary, columns, {}), treeDump(summary, columns, {}));
    EXPECT_EQ(toneTableJson({}, columns, tones), treeDump({}, columns, tones));
    EXPECT_EQ(toneTableJson({}, {}, tones), treeDump({}, {}, tones));
    // A summary field of the tables' own name gives its place to the tones.
    const std::vector<SummaryField> clash{{"first", 1}, {"tones", "overwritten"}, {"last", 2}};
    EXPECT_EQ(toneTableJson(clash, columns, tones), treeDump(clash, columns, tones));
    EXPECT_EQ(toneTableJson({{"tones", 0}}, columns, {}), treeDump({{"tones", 0}}, columns, {}));
}

}  // namespace
}  // namespace auralyn::cli
