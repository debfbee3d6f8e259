// Reading and writing responses: round trips through CSV, JSON and FRD, the
// FRD layout crossover tools read, log-grid resampling, and hostile files.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "known_responses.h"
#include "response/frequency_table.h"
#include "response/interpolation.h"
#include "response/response_reader.h"
#include "response/response_table.h"
#include "test_files.h"

namespace auralyn::response {
namespace {

const char* const kAnalyzeCsv =
    "frequency_hz,amplitude,magnitude_db,phase_deg,frequency_measured_hz,thd_db,magnitude_u95_db,phase_u95_deg\n"
    "100,16383.5,-6.0205999132796242,170,100.001,-60.5,0.01,0.2\n"
    "200,0,,,200.002,,,\n"
    "400,32767,0,-170,400.004,,0.02,0.4\n";

TEST(ReadResponse, AnalyzesCsvCarriesItsColumnsAndLeavesOutSilentTones) {
    const ReadResponse read = parseCsvResponse(kAnalyzeCsv, "run.csv");
    const Response& r = read.response;
    EXPECT_EQ(read.silentTones, 1u);
    ASSERT_EQ(r.tones.size(), 2u);
    EXPECT_NEAR(r.tones[0].magnitude, 0.5, 1e-12);
    EXPECT_NEAR(r.tones[1].phaseDeg(), 190.0, 1e-9);  // continuous: -170 follows 170 as 190
    EXPECT_EQ(r.extraColumns, (std::vector<std::string>{"frequency_measured_hz", "thd_db"}));
    EXPECT_EQ(r.tones[0].extra[1], -60.5);
    EXPECT_FALSE(r.tones[1].extra[1].has_value());
    EXPECT_EQ(r.tones[1].phaseU95Deg, 0.4);
}

TEST(ReadResponse, CsvAndJsonRoundTripExactly) {
    Response r = parseCsvResponse(kAnalyzeCsv, "run.csv").response;
    r.sampleRate = 48000.0;
    const std::vector<Column> columns = responseColumns(r, true);
    const Response fromCsv = parseCsvResponse(csvText(columns), "out.csv").response;
    const Response fromJson =
        parseJsonResponse(jsonText({{"sample_rate", 48000.0}, {"delay_removed_s", 0.001}}, columns), "out.json").response;
    for (const Response* back : {&fromCsv, &fromJson}) {
        ASSERT_EQ(back->tones.size(), r.tones.size());
        EXPECT_EQ(back->extraColumns, r.extraColumns);
        for (std::size_t i = 0; i < r.tones.size(); ++i) {
            EXPECT_EQ(back->tones[i].frequency, r.tones[i].frequency);
            EXPECT_NEAR(back->tones[i].magnitude, r.tones[i].magnitude, 1e-15);
            EXPECT_NEAR(back->tones[i].phase, r.tones[i].phase, 1e-14);
            EXPECT_EQ(back->tones[i].extra, r.tones[i].extra);
            EXPECT_EQ(back->tones[i].magnitudeU95Db, r.tones[i].magnitudeU95Db);
        }
    }
    EXPECT_EQ(fromJson.sampleRate, 48000.0);
    EXPECT_EQ(fromJson.delayRemoved, 0.001);
}

TEST(ReadResponse, FrdRowsWithOrWithoutPhaseAndOtherToolsHeaders) {
    const Response three = parseFrdResponse("* made by hand\nFreq dB Phase\n100 -3 45\n200\t-6\t90\n\n400,-9,135\n", "a.frd").response;
    ASSERT_EQ(three.tones.size(), 3u);
    EXPECT_NEAR(three.tones[2].phaseDeg(), 135.0, 1e-12);
    const Response target = parseFrdResponse("20 0\n20000 -6\n", "target.txt").response;
    EXPECT_EQ(target.tones[1].phase, 0.0);
    EXPECT_NEAR(target.tones[1].magnitudeDb(), -6.0, 1e-12);
}

void expectRefusal(const std::string& text, const std::string& name, const std::string& message) {
    auralyn::test::TempDir dir;
    const std::string path = dir.file(name);
    auralyn::test::writeFileBytes(path, auralyn::test::Bytes(text.begin(), text.end()));
    try {
        readResponseFile(path);
        FAIL() << "no refusal of " << text;
    } catch (const Error& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind(path, 0), 0u) << what;  // the message names the file
        EXPECT_NE(what.find(message), std::string::npos) << what;
    }
}

TEST(ReadResponse, HostileFilesAreRefusedNamingTheFile) {
    const std::string header = "frequency_hz,amplitude,magnitude_db,phase_deg\n";
    expectRefusal(header + "100,1,0,0\n", "one.csv", "at least two tones");
    expectRefusal(header, "none.csv", "at least two tones");
    expectRefusal(header + "200,1,0,0\n100,1,0,0\n", "down.csv", "frequencies must increase");
    expectRefusal(header + "100,1,0,0\n100,1,0,0\n", "same.csv", "frequencies must increase");
    expectRefusal(header + "100,1,nan,0\n200,1,0,0\n", "nan.csv", "'nan' is not a finite number");
    expectRefusal(header + "100,1,0,inf\n200,1,0,0\n", "inf.csv", "'inf' is not a finite number");
    expectRefusal(header + "100,1,0\n200,1,0,0\n", "short.csv", "line 2: 3 fields");
    expectRefusal(header + "100,1,x,0\n200,1,0,0\n", "text.csv", "line 2, column magnitude_db: 'x' is not a number");
    expectRefusal("frequency_hz,amplitude\n100,1\n", "columns.csv", "expected the column names");
    expectRefusal("", "empty.frd", "empty");
    expectRefusal("{\"tones\": [", "cut.json", "not valid JSON");
    expectRefusal("{\"tones\": [{\"frequency_hz\": \"100\"}]}", "string.json", "is not a number");
    expectRefusal("{\"tones\": [{\"frequency_hz\": 100, \"magnitude_db\": 1e999, \"phase_deg\": 0}, "
                  "{\"frequency_hz\": 200, \"magnitude_db\": 0, \"phase_deg\": 0}]}",
                  "huge.json", "not");
    expectRefusal("{\"rate\": 1}", "other.json", "\"tones\" array");
    expectRefusal("hello world\n", "words.txt", "not a response");
    expectRefusal("100 0 0\n200 x 0\n", "bad.frd", "line 2: 'x' is not a number");
    expectRefusal("100 0 0\n200 1e400 0\n", "overflow.frd", "not a finite number");
}

TEST(FrequencyTable, WritesCommentsThenAscendingFourDecimalRowsInAscii) {
    const std::string text = frequencyTableText({"made \xC3\xA9 here"}, {{20.0, -1.23456, -0.00001}, {1000.5, 3.0, 179.99996}});
    EXPECT_EQ(text, "* made ?? here\n20.0000 -1.2346 0.0000\n1000.5000 3.0000 180.0000\n");
    EXPECT_THROW(frequencyTableText({}, {{20.0, 0.0, 0.0}, {10.0, 0.0, 0.0}}), Error);
    EXPECT_THROW(frequencyTableText({}, {{20.0, NAN, 0.0}}), Error);
}

TEST(FrequencyTable, FrdWrapsThePhaseUnlessAskedAndReadsBack) {
    Response r = test::sampled({100.0, 200.0, 400.0}, [](double) { return 1.0; });
    r.tones[1].phase = toRadians(-100.0);
    r.tones[2].phase = toRadians(-250.0);
    const std::string wrapped = frdText(r, {"x"}, false);
    EXPECT_EQ(wrapped, "* x\n100.0000 0.0000 0.0000\n200.0000 0.0000 -100.0000\n400.0000 0.0000 110.0000\n");
    EXPECT_NE(frdText(r, {}, true).find("400.0000 0.0000 -250.0000"), std::string::npos);
    const Response back = parseFrdResponse(wrapped, "x.frd").response;
    EXPECT_NEAR(back.tones[2].phaseDeg(), -250.0, 1e-9);  // made continuous again on reading
}

TEST(Resampling, ALogGridPassesThrough1kHzAndInterpolatesOnTheLogAxis) {
    const std::vector<double> grid = logGrid(900.0, 4100.0, 3);
    ASSERT_EQ(grid.size(), 7u);
    EXPECT_DOUBLE_EQ(grid[0], 1000.0);
    EXPECT_NEAR(grid[6], 4000.0, 1e-9);
    // dB and phase linear in log f come through exactly.
    Response r = test::sampled({100.0, 10000.0}, [](double) { return 1.0; });
    r.tones[1].magnitude = fromDecibels(-40.0);
    r.tones[1].phase = -2.0;
    const Response g = resampleOnLogGrid(r, 12);
    EXPECT_EQ(g.tones.size(), 79u);  // 1 kHz·2^(k/12) for k = -39..39: 100 Hz and 10 kHz lie just off the grid
    for (const Tone& tone : g.tones) {
        const double along = std::log10(tone.frequency / 100.0) / 2.0;
        EXPECT_NEAR(tone.magnitudeDb(), -40.0 * along, 1e-9);
        EXPECT_NEAR(tone.phase, -2.0 * along, 1e-12);
    }
    EXPECT_THROW(resampleOnLogGrid(test::sampled({1000.0, 1010.0}, [](double) { return 1.0; }), 3), Error);
    EXPECT_THROW(logGrid(100.0, 1000.0, 0), Error);
}

}  // namespace
}  // namespace auralyn::response
