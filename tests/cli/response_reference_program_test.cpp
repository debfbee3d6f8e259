// The delay of a time reference (--delay reference), the one axis of the
// minimum phase for CSV and JSON alike, and the minimum phase's extension in
// the plot, through the real program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "response_texts.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

std::complex<double> speaker(double f) {
    const std::complex<double> s(0.0, f / 60.0), t(0.0, f / 5000.0);
    return s * s / (s * s + s / 0.7 + 1.0) / (t * t + t / 0.6 + 1.0);
}

std::complex<double> delayed(double f, double seconds) { return speaker(f) * std::polar(1.0, -2.0 * test::kPi * f * seconds); }

nlohmann::json readJson(const TempDir& dir, const std::string& name) {
    return nlohmann::json::parse(test::readFileText(dir.file(name)));
}

// The phase written (continuous, degrees) against the speaker's own, up to whole turns.
double worstPhaseErrorDeg(const nlohmann::json& doc) {
    double worst = 0.0;
    for (const nlohmann::json& t : doc["tones"]) {
        const double exact = std::arg(speaker(t["frequency_hz"].get<double>())) * 180.0 / test::kPi;
        worst = std::max(worst, std::abs(std::remainder(t["phase_deg"].get<double>() - exact, 360.0)));
    }
    return worst;
}

TEST(DelayReference, TheStatedReferenceDelayIsRemovedExactlyFromJsonAndCsv) {
    TempDir dir;
    const double seconds = 0.8e-3;
    const std::string csv = test::csvOf(test::logTones(12), [seconds](double f) { return delayed(f, seconds); });
    nlohmann::json doc = nlohmann::json::parse(test::jsonOf(csv, 48000.0));
    doc["reference_delay_s"] = seconds;
    test::writeText(dir, "in.json", doc.dump());
    test::writeText(dir, "in.csv", "# measured against a reference microphone\n# reference_delay_s: 0.0008\n" + csv);
    for (const char* input : {"in.json", "in.csv"}) {
        SCOPED_TRACE(input);
        const ProgramRun run = test::auralyn(dir, {"process", input, "--delay", "reference", "--json", "out.json"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("Delay: the reference's 0.8000 ms removed"), std::string::npos) << run.out;
        const nlohmann::json out = readJson(dir, "out.json");
        EXPECT_DOUBLE_EQ(out["delay_removed_s"].get<double>(), seconds);
        EXPECT_EQ(out["reference_delay_s"].get<double>(), 0.0);  // none of it left in the phase
        EXPECT_LT(worstPhaseErrorDeg(out), 1e-6);
        // Done twice, nothing more comes out.
        const ProgramRun again = test::auralyn(dir, {"process", "out.json", "--delay", "reference", "--json", "again.json"});
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_DOUBLE_EQ(readJson(dir, "again.json")["delay_removed_s"].get<double>(), seconds);
    }
}

TEST(DelayReference, AResponseWithoutAReferenceIsRefusedNamingTheFile) {
    TempDir dir;
    test::writeText(dir, "plain.csv", test::csvOf(test::logTones(6), speaker));
    ProgramRun run = test::auralyn(dir, {"process", "plain.csv", "--delay", "reference", "--csv", "out.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("auralyn: plain.csv: has no time reference"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "out.csv"));
    run = test::auralyn(dir, {"plot", "plain.csv", "--delay", "reference", "-o", "p.svg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("plain.csv: has no time reference"), std::string::npos) << run.err;
    EXPECT_FALSE(test::exists(dir, "p.svg"));
    for (const char* bad : {"# reference_channel: 0\n", "# reference_delay_s: soon\n"}) {
        test::writeText(dir, "bad.csv", bad + test::csvOf(test::logTones(6), speaker));
        run = test::auralyn(dir, {"process", "bad.csv", "--delay", "reference", "--csv", "out.csv"});
        EXPECT_EQ(run.exitCode, 1) << bad;
        EXPECT_NE(run.err.find("bad.csv, line 1, reference_"), std::string::npos) << run.err;
    }
}

// analyze against a loopback reference says so in its JSON; the division by
// the reference has already taken the reference's delay out.
TEST(DelayReference, AnalyzeAgainstAReferenceChannelKeepsThePhaseAsMeasured) {
    TempDir dir;
    ProgramRun run = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--rate", "16000", "--start", "30", "--end",
                                         "6000", "--step", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A resistive divider's two channels: the device's at a third of the drive's.
    run = test::auralyn(dir, {"simulate", "s.wav", "two.wav", "--driver", "Re=6 Le=0.01mH fs=40 Qms=3 Qes=0.5",
                              "--sense-resistor", "10"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = test::auralyn(dir, {"analyze", "two.wav", "s.swp", "--quiet", "--channel", "1", "--reference-channel", "2",
                              "--json", "a.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readJson(dir, "a.json")["reference_channel"], 2);
    run = test::auralyn(dir, {"process", "a.json", "--delay", "reference", "--json", "p.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("measured against reference channel 2"), std::string::npos) << run.out;
    const nlohmann::json in = readJson(dir, "a.json"), out = readJson(dir, "p.json");
    EXPECT_EQ(out["delay_removed_s"].get<double>(), 0.0);
    EXPECT_EQ(out["reference_channel"], 2);
    ASSERT_EQ(in["tones"].size(), out["tones"].size());
    for (std::size_t i = 0; i < in["tones"].size(); ++i)
        EXPECT_NEAR(out["tones"][i]["phase_deg"].get<double>(), in["tones"][i]["phase_deg"].get<double>(), 1e-9);
}

// The same measurement as CSV (no sampling rate) and JSON (with it) gives
// the same delay: the minimum phase takes one axis for both.
TEST(DelayAuto, CsvAndJsonOfOneRunAgreeWithin0Point1Sample) {
    TempDir dir;
    ProgramRun run = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--rate", "48000", "--start", "30", "--end",
                                         "20000", "--step", "12"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = test::auralyn(dir, {"simulate", "s.wav", "d.wav", "--highpass", "70", "0.8", "--lowpass", "9000", "0.7",
                              "--peak", "1500", "2", "5", "--delay", "40"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = test::auralyn(dir, {"analyze", "d.wav", "s.swp", "--quiet", "--csv", "a.csv", "--json", "a.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(test::lines(test::readFileText(dir.file("a.csv")))[0].find(",sample_rate_hz"), std::string::npos);
    double samples[2] = {};
    for (int k = 0; k < 2; ++k) {
        run = test::auralyn(dir, {"process", k == 0 ? "a.csv" : "a.json", "--delay", "auto", "--json", "p.json"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        samples[k] = readJson(dir, "p.json")["delay_s"].get<double>() * 48000.0;
    }
    std::printf("delay found: %.4f samples from the CSV, %.4f from the JSON\n", samples[0], samples[1]);
    EXPECT_NEAR(samples[0], samples[1], 0.1);
}

TEST(PlotMinimumPhase, TheExtensionIsDrawnDashedBeyondTheTonesWithALegendEntry) {
    TempDir dir;
    test::writeText(dir, "in.csv", test::csvOf(test::logTones(12, 100.0, 8000.0), speaker));
    ProgramRun run = test::auralyn(dir, {"plot", "in.csv", "--min-phase", "-o", "p.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string svg = test::readFileText(dir.file("p.svg"));
    const std::size_t group = svg.find("<g class=\"min-phase-extension\">");
    ASSERT_NE(group, std::string::npos);
    const std::string path = svg.substr(group, svg.find("</g>", group) - group);
    EXPECT_NE(path.find("stroke-dasharray=\"3 3\""), std::string::npos) << path;
    EXPECT_EQ(std::count(path.begin(), path.end(), 'M'), 2) << path;  // one piece below, one above
    EXPECT_NE(svg.find("minimum phase</text>"), std::string::npos);
    EXPECT_NE(svg.find("magnitude extended for the minimum phase</text>"), std::string::npos);
    // The axis reaches an octave beyond the tones, where the extension ends.
    EXPECT_NE(svg.find(">50<"), std::string::npos);

    run = test::auralyn(dir, {"plot", "in.csv", "-o", "q.svg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::readFileText(dir.file("q.svg")).find("min-phase-extension"), std::string::npos);
}

}  // namespace
}  // namespace auralyn
