// auralyn analyze finds the sweep by its tones: a quiet recording whose
// pulse never reaches the threshold measures, the same recording started
// later reads the same phases with its start moved by exactly that much, and
// a recording of something else is refused: its outputs say no_sweep and hold no tone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "wave_samples.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

constexpr double kRate = 48000.0;

void makeSweep(const TempDir& dir) {
    const ProgramRun run =
        test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--start", "100", "--end", "15000", "--step", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

// The sweep 40 dB down (the pulse at 0.9 % of full scale, far below the
// threshold), rounded to 16 bits, after `silence` samples.
void writeQuiet(const TempDir& dir, const std::string& name, std::size_t silence) {
    const std::vector<std::int16_t> played = test::readWaveSamples(dir.file("s.wav"));
    std::vector<std::int16_t> quiet(silence, 0);
    for (const std::int16_t v : played) quiet.push_back(static_cast<std::int16_t>(std::lround(v * 0.01)));
    test::writeWave(dir.file(name), quiet, 48000);
}

nlohmann::json analyzeToJson(const TempDir& dir, const std::string& recording, ProgramRun& run) {
    run = test::auralyn(dir, {"analyze", recording, "s.swp", "--json", recording + ".json", "-q"});
    if (!test::exists(dir, recording + ".json")) return {};
    return nlohmann::json::parse(test::readFileText(dir.file(recording + ".json")));
}

TEST(AnalyzeSync, AQuietSweepIsFoundByItsTonesAndItsStartMovesWithTheRecording) {
    TempDir dir;
    makeSweep(dir);
    writeQuiet(dir, "quiet.wav", 0);
    writeQuiet(dir, "later.wav", 1234);
    ProgramRun first, later;
    const nlohmann::json a = analyzeToJson(dir, "quiet.wav", first);
    const nlohmann::json b = analyzeToJson(dir, "later.wav", later);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(later.exitCode, 0) << later.err;
    EXPECT_NE(first.out.find("Sweep begins at"), std::string::npos) << first.out;
    EXPECT_EQ(a["sync"], "sweep");
    const double shift = (b["delay_s"].get<double>() - a["delay_s"].get<double>()) * kRate;
    const double u95 = std::hypot(a["delay_u95_s"].get<double>(), b["delay_u95_s"].get<double>()) * kRate;
    EXPECT_NEAR(shift, 1234.0, std::max(u95, 1e-3));
    EXPECT_LT(a["delay_u95_s"].get<double>() * kRate, 0.05);
    ASSERT_EQ(a["tones"].size(), b["tones"].size());
    for (std::size_t i = 0; i < a["tones"].size(); ++i) {
        const nlohmann::json& x = a["tones"][i];
        const nlohmann::json& y = b["tones"][i];
        const double allowed = std::hypot(x["phase_u95_deg"].get<double>(), y["phase_u95_deg"].get<double>());
        EXPECT_NEAR(std::remainder(x["phase_deg"].get<double>() - y["phase_deg"].get<double>(), 360.0), 0.0,
                    allowed)
            << x["frequency_hz"];
        // The sweep as written: phase 0 at each block's start but for the rounding to 16 bits.
        EXPECT_NEAR(std::remainder(x["phase_deg"].get<double>(), 360.0), 0.0, 0.5) << x["frequency_hz"];
    }
}

TEST(AnalyzeSync, ARecordingOfSomethingElseFindsNoSweep) {
    TempDir dir;
    makeSweep(dir);
    const std::size_t length = test::readWaveSamples(dir.file("s.wav")).size();
    std::mt19937_64 random(5);
    std::normal_distribution<double> noise(0.0, 3277.0);
    std::vector<std::int16_t> samples(length);
    for (std::int16_t& v : samples) v = static_cast<std::int16_t>(std::clamp(std::round(noise(random)), -32768.0, 32767.0));
    test::writeWave(dir.file("noise.wav"), samples, 48000);
    ProgramRun run;
    const nlohmann::json json = analyzeToJson(dir, "noise.wav", run);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("found no sweep"), std::string::npos) << run.err;
    ASSERT_FALSE(json.is_null());
    EXPECT_EQ(json["status"], "no_sweep");
    EXPECT_TRUE(json["tones"].empty());
    EXPECT_TRUE(json["delay_s"].is_null());
}

}  // namespace
}  // namespace auralyn
