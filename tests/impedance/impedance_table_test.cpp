// The impedance tables with intervals (CSV, JSON) and the reader that tells
// them and ZMA apart: round trips and broken files.
#include <gtest/gtest.h>

#include <complex>
#include <sstream>

#include "impedance/driver_parameters.h"
#include "impedance/impedance_table.h"
#include "refused_texts.h"

namespace auralyn::impedance {
namespace {

ImpedanceCurve sample() {
    ImpedanceCurve c;
    c.push_back({20.0, std::polar(7.5, 0.3), 0.01, 0.2, -6.0, std::nullopt});
    c.push_back({40.0, std::polar(31.25, -0.1), 0.05, 0.5, std::nullopt, std::nullopt});
    return c;
}

void expectSameCurve(const ImpedanceCurve& a, const ImpedanceCurve& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_DOUBLE_EQ(a[i].frequency, b[i].frequency);
        EXPECT_NEAR(std::abs(a[i].ohms - b[i].ohms), 0.0, 1e-8);
        EXPECT_NEAR(a[i].magnitudeU95, b[i].magnitudeU95, 1e-10);
        EXPECT_NEAR(a[i].phaseU95Deg, b[i].phaseU95Deg, 1e-10);
    }
}

TEST(ImpedanceTable, CsvAndJsonRoundTripWithTheirIntervals) {
    std::stringstream csv;
    writeImpedanceCsv(csv, sample());
    EXPECT_EQ(csv.str().substr(0, csv.str().find('\n')),
              "frequency_hz,impedance_ohm,impedance_phase_deg,impedance_u95_ohm,impedance_phase_u95_deg,drive_dbfs,"
              "drive_volts");
    const CurveReading fromCsv = readImpedanceCurve(csv);
    ASSERT_TRUE(fromCsv.ok()) << fromCsv.error;
    expectSameCurve(fromCsv.curve, sample());

    std::stringstream json(impedanceJson(sample(), {{"sense_resistor_ohm", 10.0}}).dump(1));
    const CurveReading fromJson = readImpedanceCurve(json);
    ASSERT_TRUE(fromJson.ok()) << fromJson.error;
    expectSameCurve(fromJson.curve, sample());
}

TEST(ImpedanceTable, BrokenTablesAreRefusedWithWhere) {
    const std::vector<test::RefusedText> cases = {
        {"frequency_hz,impedance_ohm\n10,5\n", "no column impedance_phase_deg"},
        {"frequency_hz,impedance_ohm,impedance_phase_deg,impedance_u95_ohm,impedance_phase_u95_deg\n10,5,0,x,1\n",
         "line 2"},
        {"frequency_hz,impedance_ohm,impedance_phase_deg,impedance_u95_ohm,impedance_phase_u95_deg\n10,5,0,1,1\n9,5,0,1,1\n",
         "do not ascend"},
        {"{\"tones\": [{\"frequency_hz\": 10}]}", "tone 1"},
        {"{\"tones\": 3}", "not an impedance JSON"},
        {"{\"tones\": [", "not an impedance JSON"},
        {"{\"tones\": []}", "no tones"},
    };
    test::expectEachRefused(cases, [](std::istream& in) { return readImpedanceCurve(in); });
}

TEST(DriverJson, AFailedFitHasAReasonAndNoParameters) {
    DriverRequest request;
    for (double f = 10; f < 20000; f *= 1.1) request.freeAir.push_back({f, {8.0, 0.0}, 0.01, 0.1, std::nullopt, std::nullopt});
    const nlohmann::json doc = driverJson(analyzeDriver(request));
    EXPECT_EQ(doc["fit"]["verdict"], "failed");
    EXPECT_FALSE(doc["fit"]["reason"].get<std::string>().empty());
    EXPECT_FALSE(doc.contains("parameters"));
}

}  // namespace
}  // namespace auralyn::impedance
