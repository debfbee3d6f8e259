// auralyn analyze with physical units, run as a program on recordings of the
// kit's simulator (and their 24-bit and float copies made by sox).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"
#include "test_files.h"

namespace auralyn {
namespace {

using Json = nlohmann::json;

// The microphone: a 3 dB shelf above 8 kHz and a 20 Hz roll-off, behind a 6 dB loss.
const std::vector<std::string> kMicrophone = {"--highshelf", "8000", "0.707", "3", "--highpass", "20", "0.707"};

class CalibratedAnalyzeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir();
        run({"sweep", "-o", "s.wav", "--step", "3", "-q"});
        std::vector<std::string> simulate = {"simulate", "s.wav", "rec.wav", "--gain", "-6"};
        simulate.insert(simulate.end(), kMicrophone.begin(), kMicrophone.end());
        simulated_ = run(simulate).exitCode == 0;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!simulated_) GTEST_SKIP() << "this build has no simulator";
    }

    static test::ProgramRun run(const std::vector<std::string>& args) {
        return test::runProgram(AURALYN_PATH, args, "", dir_->path().string());
    }

    // The microphone's exact response at 1/12-octave rows, from the simulator.
    static std::vector<std::vector<std::string>> responseRows() {
        std::vector<std::string> args = {"simulate", "--response"};
        for (double f = 10.0; f < 23900.0; f *= std::pow(2.0, 1.0 / 12.0)) args.push_back(std::to_string(f));
        args.insert(args.end(), kMicrophone.begin(), kMicrophone.end());
        std::istringstream lines(run(args).out);
        std::vector<std::vector<std::string>> rows;
        std::string line;
        std::getline(lines, line);  // the title
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string f, db, phase;
            std::getline(fields, f, ',');
            std::getline(fields, db, ',');
            std::getline(fields, phase, ',');
            rows.push_back({f, db.substr(1), phase.substr(1)});
        }
        return rows;
    }

    static void writeText(const std::string& name, const std::string& text) {
        test::writeFileBytes(dir_->file(name), test::Bytes(text.begin(), text.end()));
    }

    static Json analyze(const std::vector<std::string>& extra, const std::string& recording = "rec.wav") {
        std::vector<std::string> args = {"analyze", recording, "s.swp", "--json", "out.json", "-q"};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto result = run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return Json::parse(test::readFileText(dir_->file("out.json")));
    }

    static inline test::TempDir* dir_ = nullptr;
    static inline bool simulated_ = false;
};

TEST_F(CalibratedAnalyzeTest, MicCalInEveryDialectLeavesAFlatResponse) {
    const auto rows = responseRows();
    ASSERT_GT(rows.size(), 100u);
    const auto table = [&](const std::string& head, const std::string& separator, bool quoted, bool phase) {
        std::string text = head;
        for (const auto& row : rows) {
            const auto field = [&](const std::string& value) { return quoted ? "\"" + value + "\"" : value; };
            text += field(row[0]) + separator + field(row[1]);
            if (phase) text += separator + field(row[2]);
            text += "\r\n";
        }
        return text;
    };
    const struct {
        const char* name;
        std::string text;
    } dialects[] = {
        {"star.txt", table("*1000Hz\t-38.6\n", "\t", false, true)},
        {"sens.txt", table("\"Sens Factor =.27710dB, SERNO: 7007184\"\n", "  ", false, false)},
        {"comma.csv", table("Frequency,dB,Phase\n", ",", false, true)},
        {"semicolon.txt", table("; by hand\n", ";", false, false)},
        {"quoted.csv", table("\"Hz\",\"dB\"\n", ",", true, false)},
    };
    for (const auto& dialect : dialects) {
        SCOPED_TRACE(dialect.name);
        writeText(dialect.name, dialect.text);
        const Json json = analyze({"--mic-cal", dialect.name});
        EXPECT_EQ(json["calibration"]["mic_cal"]["file"], dialect.name);
        for (const auto& tone : json["tones"]) {
            ASSERT_EQ(tone["calibrated"], true);
            EXPECT_NEAR(tone["magnitude_db"].get<double>(), -6.0, 0.02) << tone["frequency_hz"];
            EXPECT_FALSE(tone["u95_components"].empty());
        }
    }
    // The phase comes out too where the file has it (the 20 Hz roll-off's +90 degrees gone).
    const Json json = analyze({"--mic-cal", "star.txt"});
    EXPECT_NEAR(json["tones"][0]["phase_deg"].get<double>(), 0.0, 0.5);
}

TEST_F(CalibratedAnalyzeTest, ProfileGivesSplAndDriveNormalisation) {
    ASSERT_EQ(run({"calibrate", "input", "--sensitivity", "-30", "-o", "p.json"}).exitCode, 0);
    Json json = analyze({"--calibration", "p.json"});
    EXPECT_EQ(json["calibration"]["magnitude_unit"], "dB SPL");
    for (const auto& tone : json["tones"]) {
        const double expected = 94.0 + tone["magnitude_db"].get<double>() + 30.0;
        EXPECT_NEAR(tone["spl_db"].get<double>(), expected, 1e-9);
        EXPECT_TRUE(tone["calibrated"].is_null());
        EXPECT_GT(tone["magnitude_u95_db"].get<double>(), 0.4 * 0.95 - 1e-9);  // the calibrator's class 1 tolerance
    }
    // 1 kHz lies where the shelf and the roll-off leave -6 dB: 118 dB SPL.
    for (const auto& tone : json["tones"]) {
        if (std::abs(tone["frequency_hz"].get<double>() - 1015.9) < 1.0) {
            EXPECT_NEAR(tone["spl_db"].get<double>(), 118.0, 0.01);
        }
    }
    ASSERT_EQ(run({"calibrate", "output", "--no-play", "--volts-rms", "2", "--level", "0", "-o", "p.json"}).exitCode, 0);
    const double spl = json["tones"][10]["spl_db"].get<double>();
    json = analyze({"--calibration", "p.json", "--drive-volts", "1", "--distance", "0.5", "--normalize-distance", "1"});
    EXPECT_EQ(json["calibration"]["magnitude_unit"], "dB SPL at 1 V, 1 m");
    EXPECT_NEAR(json["tones"][10]["spl_db"].get<double>(), spl + 20.0 * std::log10(0.5) + 20.0 * std::log10(0.5), 1e-9);
}

TEST_F(CalibratedAnalyzeTest, PlotAndFrdSpeakDbSpl) {
    ASSERT_EQ(run({"calibrate", "input", "--sensitivity", "-30", "-o", "plot.json"}).exitCode, 0);
    ASSERT_EQ(run({"analyze", "rec.wav", "s.swp", "--csv", "raw.csv", "-q"}).exitCode, 0);
    const auto plotted = run({"plot", "raw.csv", "--frd", "--calibration", "plot.json", "--drive-volts", "2.83"});
    ASSERT_EQ(plotted.exitCode, 0) << plotted.err;
    EXPECT_NE(test::readFileText(dir_->file("raw.svg")).find("Magnitude (dB SPL at 2.83 V)"), std::string::npos);
    const std::string frd = test::readFileText(dir_->file("raw.frd"));
    EXPECT_NE(frd.find("magnitude (dB SPL at 2.83 V), phase (deg); profile plot.json"), std::string::npos) << frd;
    // The 1 kHz row: -6 dB through a -30 dBFS-at-94 input is 118 dB SPL.
    EXPECT_NE(frd.find("\n1015.94 118.0"), std::string::npos) << frd;
}

TEST_F(CalibratedAnalyzeTest, TonesOutsideTheCalFileAreFlaggedNotExtrapolated) {
    writeText("narrow.txt", "100 0\n10000 0\n");
    ASSERT_EQ(run({"calibrate", "input", "--sensitivity", "-30", "-o", "q.json"}).exitCode, 0);
    const auto result = run({"analyze", "rec.wav", "s.swp", "--csv", "out.csv", "--mic-cal", "narrow.txt", "--calibration", "q.json", "-q"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("outside the range of narrow.txt (100 Hz .. 10000 Hz)"), std::string::npos) << result.err;
    const std::string csv = test::readFileText(dir_->file("out.csv"));
    EXPECT_NE(csv.find(",spl_db,dbv,gain_db,calibrated,mic_cal_db\n"), std::string::npos);
    EXPECT_EQ(csv.find("u95_components"), std::string::npos);
    // The first tone (20 Hz): no SPL, calibrated false, nothing taken away.
    const std::string first = csv.substr(csv.find('\n') + 1, csv.find('\n', csv.find('\n') + 1) - csv.find('\n') - 1);
    EXPECT_EQ(first.substr(first.size() - std::string(",,,,false,").size()), ",,,,false,") << first;
}

TEST_F(CalibratedAnalyzeTest, BrokenCalFilesStopTheRunBeforeAnyOutput) {
    writeText("bad.txt", "20 -1.5\n1000 --3.1221\n20000 0\n");
    const auto bad = run({"analyze", "rec.wav", "s.swp", "--json", "bad.json", "--mic-cal", "bad.txt", "-q"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("bad.txt line 2: malformed number \"--3.1221\": 1000 --3.1221"), std::string::npos) << bad.err;
    EXPECT_FALSE(std::filesystem::exists(dir_->file("bad.json")));
    const auto missing = run({"analyze", "rec.wav", "s.swp", "--json", "bad.json", "--calibration", "none.json", "-q"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_->file("bad.json")));
    EXPECT_EQ(run({"analyze", "rec.wav", "s.swp", "--invert-cal", "-q"}).exitCode, 2);
}

TEST_F(CalibratedAnalyzeTest, RecordingsOf24BitsAndFloatMeasureAsThe16BitOne) {
    if (!std::filesystem::exists("/usr/bin/sox")) GTEST_SKIP() << "sox makes the copies";
    const Json reference = analyze({});
    for (const auto& [name, format] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"rec24.wav", {"-b", "24"}}, {"recf.wav", {"-b", "32", "-e", "floating-point"}}}) {
        SCOPED_TRACE(name);
        std::vector<std::string> args = {"rec.wav"};
        args.insert(args.end(), format.begin(), format.end());
        args.push_back(name);
        ASSERT_EQ(test::runProgram("/usr/bin/sox", args, "", dir_->path().string()).exitCode, 0);
        const Json json = analyze({}, name);
        EXPECT_NE(json["recording_format"].get<std::string>().find(format[1] == "24" ? "24-bit PCM" : "32-bit float"),
                  std::string::npos);
        ASSERT_EQ(json["tones"].size(), reference["tones"].size());
        for (std::size_t i = 0; i < json["tones"].size(); ++i) {
            EXPECT_EQ(json["tones"][i]["magnitude_db"], reference["tones"][i]["magnitude_db"]);
        }
    }
}

}  // namespace
}  // namespace auralyn
