// How the analyze tests make, simulate and read back their recordings.
#include "simulated_analyses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "program_runs.h"

namespace auralyn::test::simulated {
namespace {

void expectNoNonFinite(const std::string& text, const std::string& what) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(lower.find("nan"), std::string::npos) << what;
    EXPECT_EQ(lower.find("inf"), std::string::npos) << what;
}

}  // namespace

void makeSweep(const TempDir& dir, std::vector<std::string> options) {
    std::vector<std::string> args{"sweep", "-q", "-o", "s.wav"};
    args.insert(args.end(), options.begin(), options.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

void simulate(const TempDir& dir, const std::string& out, std::vector<std::string> device,
              const std::string& in) {
    std::vector<std::string> args{"simulate", in, out};
    args.insert(args.end(), device.begin(), device.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

Analysis analyze(const TempDir& dir, const std::string& recording, std::vector<std::string> options) {
    std::vector<std::string> args{"analyze", recording, "s.swp", "--csv", "a.csv", "--json", "a.json", "-o", "a.txt"};
    args.insert(args.end(), options.begin(), options.end());
    Analysis a;
    a.run = test::auralyn(dir, args);
    if (!test::exists(dir, "a.json")) return a;
    a.csv = test::readFileText(dir.file("a.csv"));
    const std::string json = test::readFileText(dir.file("a.json"));
    expectNoNonFinite(a.csv, recording + " csv");
    expectNoNonFinite(json, recording + " json");
    a.json = nlohmann::json::parse(json);
    for (const nlohmann::json& row : a.json["tones"]) {
        Tone tone;
        tone.frequency = row["frequency_hz"].get<double>();
        tone.magnitudeDb = row["magnitude_db"].is_number() ? row["magnitude_db"].get<double>() : -999.0;
        tone.phaseDeg = row["phase_deg"].get<double>();
        tone.row = row;
        a.tones.push_back(tone);
    }
    return a;
}

double wrappedDegrees(double degrees) { return std::remainder(degrees, 360.0); }

}  // namespace auralyn::test::simulated
