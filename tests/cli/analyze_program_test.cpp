// auralyn analyze against echoprobe on the same files, its tables, and its
// refusals, run as a user runs them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "sweep_recording.h"
#include "terminal_stderr.h"

#ifdef AURALYN_TEST_DEVICES
#include "simulation/wave_through_device.h"
#endif

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The fields of a line between separators ("," in the tables, ", " in the report).
std::vector<std::string> fields(std::string line, const std::string& separator = ",") {
    std::vector<std::string> out;
    for (std::size_t at = line.find(separator); at != std::string::npos; at = line.find(separator)) {
        out.push_back(line.substr(0, at));
        line.erase(0, at + separator.size());
    }
    out.push_back(line);
    return out;
}

// A sweep written by auralyn sweep (byte for byte tonesmith's) and used as its
// own recording: an ideal device.
void makeSweep(const TempDir& dir, const std::string& name, std::vector<std::string> options) {
    std::vector<std::string> args{"sweep", "-q", "-o", name + ".wav"};
    args.insert(args.end(), options.begin(), options.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

// The report as echoprobe writes it for the same recording and sweep.
std::string echoprobeReport(const TempDir& dir, const std::string& recording, const std::string& sweep) {
    const ProgramRun run = test::echoprobe(dir, recording, sweep, "echoprobe.txt");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    const std::string report = test::readFileText(dir.file("echoprobe.txt"));
    std::filesystem::remove(dir.file("echoprobe.txt"));
    return report;
}

void expectSameReport(const TempDir& dir, const std::string& recording, const std::string& sweep) {
    const ProgramRun run =
        test::auralyn(dir, {"analyze", recording, sweep, "--clock-correction", "off", "-o", "auralyn.txt", "--csv",
                            "t.csv", "--json", "t.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress bar into a pipe
    EXPECT_EQ(test::readFileText(dir.file("auralyn.txt")), echoprobeReport(dir, recording, sweep)) << recording;
}

TEST(AnalyzeProgram, WritesEchoprobesReportByteForByte) {
    TempDir dir;
    makeSweep(dir, "default", {});
    expectSameReport(dir, "default.wav", "default.swp");
    makeSweep(dir, "sync3", {"--rate", "44100", "--start", "100", "--end", "10000", "--step", "6",
                             "--tones-per-sync", "3"});
    expectSameReport(dir, "sync3.wav", "sync3.swp");
    makeSweep(dir, "sync1", {"--rate", "8000", "--linear", "--start", "50", "--end", "3950", "--step", "300",
                             "--tones-per-sync", "1", "--max-fractional-cycle", "0.01"});
    expectSameReport(dir, "sync1.wav", "sync1.swp");
    makeSweep(dir, "high", {"--rate", "96000", "--start", "1000", "--end", "48000", "--step", "3",
                            "--tones-per-sync", "4", "--settling", "0.005", "--max-drift", "0.001"});
    expectSameReport(dir, "high.wav", "high.swp");
}

#ifdef AURALYN_TEST_DEVICES
TEST(AnalyzeProgram, WritesEchoprobesReportForASimulatedDevice) {
    TempDir dir;
    makeSweep(dir, "s", {"--rate", "44100", "--start", "30", "--end", "18000", "--step", "8", "--tones-per-sync", "5"});
    simulation::Device device;
    device.parts = {simulation::GainPart{-6.0}, simulation::FilterSettings{}, simulation::DelayPart{777},
                    simulation::InvertPart{}, simulation::NoisePart{-70.0, 11}};
    simulation::DeviceRunSummary summary;
    std::string error;
    ASSERT_TRUE(simulation::runDeviceOnWave(device, dir.file("s.wav"), dir.file("device.wav"), summary, error))
        << error;
    expectSameReport(dir, "device.wav", "s.swp");
    // The low-pass at 1000 Hz shows in the table too: the top tone lies far below the first.
    const std::vector<std::string> rows = lines(test::readFileText(dir.file("t.csv")));
    EXPECT_LT(std::strtod(fields(rows.back())[2].c_str(), nullptr),
              std::strtod(fields(rows[1])[2].c_str(), nullptr) - 40.0);
}
#endif

TEST(AnalyzeProgram, TablesHoldTheReportsNumbersAtFullPrecision) {
    TempDir dir;
    makeSweep(dir, "s", {"--rate", "44100", "--start", "100", "--end", "12000", "--step", "3"});
    expectSameReport(dir, "s.wav", "s.swp");
    const std::vector<std::string> report = lines(test::readFileText(dir.file("auralyn.txt")));
    const std::vector<std::string> csv = lines(test::readFileText(dir.file("t.csv")));
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("t.json")));
    ASSERT_EQ(csv.size(), report.size() - 9);  // the header lines against the column line
    EXPECT_EQ(csv[0].rfind("frequency_hz,amplitude,magnitude_db,phase_deg,frequency_measured_hz,h2_dbc,", 0), 0u);
    EXPECT_EQ(json["sample_rate"], 44100);
    ASSERT_EQ(json["tones"].size(), csv.size() - 1);
    for (std::size_t i = 1; i < csv.size(); ++i) {
        const std::vector<std::string> row = fields(csv[i]);
        const std::vector<std::string> printed = fields(report[9 + i], ", ");
        ASSERT_EQ(row.size(), 23u);
        EXPECT_EQ(row[22], "44100");  // sample_rate_hz: the JSON's summary field, for readers of the CSV
        const double frequency = std::strtod(row[0].c_str(), nullptr);
        const double amplitude = std::strtod(row[1].c_str(), nullptr);
        const double phase = std::strtod(row[3].c_str(), nullptr);
        char text[64];
        std::snprintf(text, sizeof text, "%.2f", frequency);
        EXPECT_EQ(printed[0], text);
        std::snprintf(text, sizeof text, "%.1f", amplitude);
        EXPECT_EQ(printed[1], text);
        std::snprintf(text, sizeof text, "%.2f", phase);
        EXPECT_EQ(printed[4], text);
        EXPECT_EQ(std::strtod(row[2].c_str(), nullptr), 20.0 * std::log10(amplitude / 32767.0));
        const nlohmann::json& tone = json["tones"][i - 1];
        EXPECT_EQ(tone["frequency_hz"].get<double>(), frequency);
        EXPECT_EQ(tone["amplitude"].get<double>(), amplitude);
        EXPECT_EQ(tone["phase_deg"].get<double>(), phase);
    }
}

TEST(AnalyzeProgram, ListsTheToneTheReportLeavesOut) {
    TempDir dir;
    makeSweep(dir, "l", {"--linear", "--start", "1000", "--end", "1000.3", "--step", "0.1"});
    expectSameReport(dir, "l.wav", "l.swp");
    const std::vector<std::string> report = lines(test::readFileText(dir.file("auralyn.txt")));
    ASSERT_EQ(report.size(), 13u);  // nine header lines, the column line, 3 tones
    const std::vector<std::string> csv = lines(test::readFileText(dir.file("t.csv")));
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[4].substr(0, csv[4].find(',')), "1000.3");
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("t.json")));
    EXPECT_EQ(json["tones"].size(), 4u);
    EXPECT_NEAR(json["tones"][3]["amplitude"].get<double>(), 32767.0, 0.1);
    const ProgramRun run =
        test::auralyn(dir, {"analyze", "l.wav", "l.swp", "--clock-correction", "off", "--csv", "again.csv"});
    EXPECT_EQ(run.out.rfind("Tones measured: 4 of 4\nPeak recording level: 100%\nSNR of the tones: ", 0), 0u)
        << run.out;
    // The clock-corrected measurement lists the fourth tone as well.
    const ProgramRun corrected =
        test::auralyn(dir, {"analyze", "l.wav", "l.swp", "-o", "c.txt", "--csv", "c.csv", "--quiet"});
    EXPECT_EQ(corrected.exitCode, 0) << corrected.err;
    EXPECT_NE(corrected.out.find("Tones measured: 4 of 4\n"), std::string::npos) << corrected.out;
    const std::vector<std::string> correctedCsv = lines(test::readFileText(dir.file("c.csv")));
    ASSERT_EQ(correctedCsv.size(), 5u);
    EXPECT_EQ(correctedCsv[4].substr(0, correctedCsv[4].find(',')), "1000.3");
    EXPECT_EQ(lines(test::readFileText(dir.file("c.txt"))).size(), 13u);
}

TEST(AnalyzeProgram, ARecordingThatEndsEarlyGivesWhatItHeldAndExitOne) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "100", "--end", "10000", "--step", "2"});
    test::Bytes wav = test::readFileBytes(dir.file("s.wav"));
    // Cut the data in the middle of the sweep; the header's sizes follow.
    const std::uint32_t data = 2u * 48000 * 4;
    wav.resize(44 + data);
    for (int i = 0; i < 4; ++i) {
        wav[4 + i] = static_cast<std::uint8_t>((data + 36) >> (8 * i));
        wav[40 + i] = static_cast<std::uint8_t>(data >> (8 * i));
    }
    test::writeFileBytes(dir.file("short.wav"), wav);
    const ProgramRun run =
        test::auralyn(dir, {"analyze", "short.wav", "s.swp", "--clock-correction", "off", "-o", "r.txt", "--csv",
                            "r.csv", "--json", "r.json"});
    EXPECT_EQ(run.exitCode, 1);
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(out.size(), 4u) << run.out;
    const int measured = std::atoi(out[0].substr(std::string("Tones measured: ").size()).c_str());
    EXPECT_GT(measured, 0);
    EXPECT_LT(measured, 14);
    EXPECT_EQ(out[0], "Tones measured: " + std::to_string(measured) + " of 14");
    EXPECT_EQ(out[3], "Tones not measured: " + std::to_string(14 - measured));
    EXPECT_EQ(run.err, "auralyn: short.wav: the recording ended before the sweep did; " +
                           std::to_string(14 - measured) + " of 14 tones could not be measured\n");
    // Each output says in its first line that the run failed.
    EXPECT_EQ(lines(test::readFileText(dir.file("r.csv"))).size(), 2u + measured);
    EXPECT_EQ(lines(test::readFileText(dir.file("r.txt"))).size(), 11u + measured);
    EXPECT_EQ(lines(test::readFileText(dir.file("r.txt")))[0], "# failed: recording_ended");
    EXPECT_EQ(nlohmann::json::parse(test::readFileText(dir.file("r.json")))["status"], "recording_ended");
    EXPECT_EQ(nlohmann::json::parse(test::readFileText(dir.file("r.json")))["tones"].size(),
              static_cast<std::size_t>(measured));
}

TEST(AnalyzeProgram, WithoutOutputsWritesTheReportUnderEchoprobesProposal) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    std::filesystem::create_directory(dir.file("takes"));
    std::filesystem::copy_file(dir.file("s.wav"), dir.file("takes/rec.take1.wav"));
    const ProgramRun run = test::auralyn(dir, {"analyze", "takes/rec.take1.wav", "s.swp", "--clock-correction", "off"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string report = test::readFileText(dir.file("rec.take1.txt"));
    EXPECT_EQ(report.substr(0, report.find('\n')), "Input file, \"rec.take1.wav\"");
    EXPECT_EQ(report, echoprobeReport(dir, "takes/rec.take1.wav", "s.swp"));
}

void writeNote(const TempDir& dir, const std::string& name) { test::writeFileBytes(dir.file(name), {'h', 'i'}); }

TEST(AnalyzeProgram, RefusesBadFilesAndWritesNothing) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    test::writeWave(dir.file("eight.wav"), 48000, std::vector<std::int16_t>(2000), 1, 8);
    test::writeWave(dir.file("rate.wav"), 44100, std::vector<std::int16_t>(2000));
    writeNote(dir, "note.wav");
    writeNote(dir, "note.swp");
    struct Bad {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Bad> cases = {
        {{"missing.wav", "s.swp"}, "auralyn: missing.wav: no such file\n"},
        {{"s.wav", "missing.swp"}, "auralyn: missing.swp: no such file\n"},
        {{"note.wav", "s.swp"}, "auralyn: note.wav: could not be opened as a wave file"},
        {{"s.wav", "note.swp"}, "auralyn: note.swp: not a list of sweep parameters"},
        {{"s.wav", "s.wav"}, "auralyn: s.wav: not a list of sweep parameters"},
        {{"eight.wav", "s.swp"}, "auralyn: eight.wav: has 8-bit samples; only 16-bit"},
        {{"rate.wav", "s.swp"}, "auralyn: rate.wav: its sampling rate, 44100 Hz, is not that of the sweep; it "
                                "should be 48000 Hz\n"},
    };
    const std::size_t before = test::fileCount(dir);
    for (const Bad& c : cases) {
        std::vector<std::string> args{"analyze"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"-o", "r.txt", "--csv", "r.csv", "--json", "r.json"});
        const ProgramRun run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 1) << c.message;
        EXPECT_EQ(run.err.substr(0, c.message.size()), c.message);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(test::fileCount(dir), before) << c.message;
    }
}

TEST(AnalyzeProgram, NeverWritesOverItsInputs) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    const test::Bytes wav = test::readFileBytes(dir.file("s.wav"));
    const test::Bytes swp = test::readFileBytes(dir.file("s.swp"));
    for (const std::vector<std::string>& outputs : std::vector<std::vector<std::string>>{
             {"-o", "s.wav"}, {"--csv", "./s.swp"}, {"--json", "s.wav"}, {"--csv", "x.csv", "--json", "x.csv"}}) {
        std::vector<std::string> args{"analyze", "s.wav", "s.swp"};
        args.insert(args.end(), outputs.begin(), outputs.end());
        const ProgramRun run = test::auralyn(dir, args);
        EXPECT_EQ(run.exitCode, 2) << outputs[1];
        EXPECT_EQ(run.err.rfind("auralyn: ", 0), 0u);
    }
    std::filesystem::copy_file(dir.file("s.wav"), dir.file("s.txt"));
    EXPECT_EQ(test::auralyn(dir, {"analyze", "s.txt", "s.swp"}).exitCode, 2);  // the proposal is the recording
    EXPECT_EQ(test::readFileBytes(dir.file("s.wav")), wav);
    EXPECT_EQ(test::readFileBytes(dir.file("s.swp")), swp);
    EXPECT_EQ(test::fileCount(dir), 3u);
}

TEST(AnalyzeProgram, AFullDiskIsAnError) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    std::filesystem::create_symlink("/dev/full", dir.file("full.csv"));
    const ProgramRun run = test::auralyn(dir, {"analyze", "s.wav", "s.swp", "--csv", "full.csv", "--json", "j.json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("auralyn: full.csv: could not be written", 0), 0u) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("full.csv")));
    EXPECT_FALSE(test::exists(dir, "j.json"));  // a run that cannot write all its outputs leaves none
}

TEST(AnalyzeProgram, UsageAndCommandLineErrors) {
    TempDir dir;
    const ProgramRun help = test::auralyn(dir, {"help", "analyze"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"RECORDING", "SWEEP", "-o,--output REPORT.txt=", "--csv FILE=none",
                               "--json FILE=none", "-q,--quiet"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    const ProgramRun missing = test::auralyn(dir, {"analyze", "only.wav"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err.rfind("auralyn: analyze: ", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find("Try 'auralyn analyze --help'."), std::string::npos);
    EXPECT_EQ(test::fileCount(dir), 0u);
}

TEST(AnalyzeProgram, DrawsAProgressBarOnlyOnATerminalAndNotWhenQuiet) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    int exitCode = -1;
    const std::string shown =
        test::runWithTerminalStderr(AURALYN_PATH, {"analyze", "s.wav", "s.swp", "--csv", "a.csv"}, dir.path().string(),
                                    exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(shown.find("\ranalyze ["), std::string::npos) << shown;
    EXPECT_NE(shown.find("] 100%"), std::string::npos) << shown;
    const std::string quiet = test::runWithTerminalStderr(
        AURALYN_PATH, {"analyze", "s.wav", "s.swp", "--csv", "b.csv", "--quiet"}, dir.path().string(), exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(quiet, "");
}

TEST(AnalyzeProgram, ASilentRecordingHoldsNoSweep) {
    TempDir dir;
    makeSweep(dir, "s", {"--start", "1000", "--end", "4000", "--step", "1"});
    test::writeWave(dir.file("silence.wav"), 48000, std::vector<std::int16_t>(48000 * 5));
    test::writeWave(dir.file("tiny.wav"), 48000, std::vector<std::int16_t>(100));
    ProgramRun run = test::auralyn(dir, {"analyze", "silence.wav", "s.swp", "--csv", "s.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "auralyn: silence.wav: found no sweep: nothing in the recording matches this sweep's tones "
                       "clearly enough (is it a recording of this sweep, made with its .swp, and do its tones stand "
                       "above the noise?)\n");
    const std::string csv = test::readFileText(dir.file("s.csv"));
    EXPECT_EQ(lines(csv)[0], "# failed: no_sweep");
    EXPECT_EQ(lines(csv)[1].rfind("frequency_hz,amplitude,magnitude_db,phase_deg,", 0), 0u);
    EXPECT_EQ(lines(csv).size(), 2u);
    run = test::auralyn(dir, {"analyze", "tiny.wav", "s.swp", "--csv", "t.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the recording ended before the sweep did; 3 of 3"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace auralyn
