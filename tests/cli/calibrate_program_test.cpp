// auralyn calibrate, run as a program on recordings made by sox.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"
#include "test_files.h"

namespace auralyn {
namespace {

const std::string kSox = "/usr/bin/sox";

class CalibrateProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSox)) GTEST_SKIP() << "sox makes the calibrator recordings";
    }

    // A sine of the given peak amplitude (1.0: full scale) made by sox.
    std::string sine(const std::string& name, const std::string& bits, double amplitude, const char* frequency = "1000",
                     const char* seconds = "2") {
        const auto run = test::runProgram(kSox, {"-D", "-n", "-r", "48000", "-b", bits, name, "synth", seconds, "sine",
                                                 frequency, "vol", std::to_string(amplitude)},
                                          "", dir_.path().string());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return name;
    }

    test::ProgramRun auralyn(const std::vector<std::string>& args) {
        return test::runProgram(AURALYN_PATH, args, "", dir_.path().string());
    }

    nlohmann::json profile(const std::string& name) {
        return nlohmann::json::parse(test::readFileText(dir_.file(name)));
    }

    test::TempDir dir_;
};

TEST_F(CalibrateProgramTest, CalibratorRecordingGivesTheInputsSensitivity) {
    // -31.5 dBFS in 24 bits, recorded at 114 dB SPL: 94 dB SPL reads -51.5 dBFS.
    const double amplitude = std::pow(10.0, -31.5 / 20.0);
    const auto run = auralyn({"calibrate", "input", sine("cal.wav", "24", amplitude), "--spl", "114", "--tolerance-db",
                              "0.75", "--input-device", "Mic", "-o", "p.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = profile("p.json");
    EXPECT_NEAR(json["input"]["dbfs_at_94_db_spl"].get<double>(), -51.5, 0.01);
    EXPECT_NEAR(json["input"]["frequency_hz"].get<double>(), 1000.0, 0.001);
    EXPECT_EQ(json["input"]["tolerance_db"], 0.75);
    EXPECT_EQ(json["input"]["input_device"], "Mic");
    EXPECT_EQ(json["input"]["sample_rate_hz"], 48000.0);
}

TEST_F(CalibrateProgramTest, SidesAreUpdatedApartAndShown) {
    const auto input = auralyn({"calibrate", "input", "--sensitivity", "-40", "--input-gain-dbv", "-10", "-o", "p.json"});
    ASSERT_EQ(input.exitCode, 0);
    EXPECT_EQ(input.out, "calibrate: input side written to p.json\n");
    // A loopback tone at -20 dBFS, played at -6 dBFS: -10 dBV at the output, full scale at -4 dBV.
    const auto output = auralyn({"calibrate", "output", sine("loop.wav", "16", 0.1), "--level", "-6", "-o", "p.json"});
    ASSERT_EQ(output.exitCode, 0) << output.err;
    auto json = profile("p.json");
    EXPECT_EQ(json["input"]["dbfs_at_94_db_spl"], -40.0);
    EXPECT_NEAR(json["output"]["volts_rms_at_full_scale"].get<double>(), std::pow(10.0, -4.0 / 20.0), 1e-4);
    const auto voltmeter =
        auralyn({"calibrate", "output", "--no-play", "--volts-rms", "0.5", "--level", "-6.0206", "-o", "p.json"});
    ASSERT_EQ(voltmeter.exitCode, 0);
    EXPECT_NE(voltmeter.out.find("calibrate: full scale is 1 V RMS (0.000 dBV); output side written to p.json\n"),
              std::string::npos)
        << voltmeter.out;
    json = profile("p.json");
    EXPECT_NEAR(json["output"]["volts_rms_at_full_scale"].get<double>(), 1.0, 1e-4);
    EXPECT_EQ(json["input"]["dbfs_at_1_vrms"], -10.0);
    const auto show = auralyn({"calibrate", "show", "p.json"});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_NE(show.out.find("94 dB SPL reads -40.000 dBFS"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("full scale is 1 V RMS"), std::string::npos) << show.out;
}

TEST_F(CalibrateProgramTest, RecordingsThatAreNoCalibratorAreRefusedWithTheReason) {
    const auto clipped = auralyn({"calibrate", "input", sine("clip.wav", "16", 2.0), "--spl", "94", "-o", "p.json"});
    EXPECT_EQ(clipped.exitCode, 1);
    EXPECT_NE(clipped.err.find("clips"), std::string::npos) << clipped.err;
    const auto silent = auralyn({"calibrate", "input", sine("silent.wav", "24", 0.0), "--spl", "94", "-o", "p.json"});
    EXPECT_EQ(silent.exitCode, 1);
    EXPECT_NE(silent.err.find("silent"), std::string::npos) << silent.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("p.json")));
}

TEST_F(CalibrateProgramTest, BadCommandLinesAndBadProfiles) {
    const std::vector<std::vector<std::string>> usage = {
        {"calibrate", "input", "-o", "p.json"},
        {"calibrate", "input", "x.wav", "-o", "p.json"},
        {"calibrate", "input", "x.wav", "--spl", "94", "--volts-rms", "1", "-o", "p.json"},
        {"calibrate", "output", "--volts-rms", "1", "-o", "p.json"},
        {"calibrate", "input", "--sensitivity", "-40"},
    };
    for (const auto& args : usage) EXPECT_EQ(auralyn(args).exitCode, 2) << args.back();
    test::writeFileBytes(dir_.file("bad.json"), test::Bytes{'[', ']'});
    const auto bad = auralyn({"calibrate", "input", "--sensitivity", "-40", "-o", "bad.json"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(test::readFileText(dir_.file("bad.json")), "[]");
    EXPECT_EQ(auralyn({"calibrate", "show", "bad.json"}).exitCode, 1);
    EXPECT_EQ(auralyn({"calibrate", "show", "none.json"}).exitCode, 1);
}

}  // namespace
}  // namespace auralyn
