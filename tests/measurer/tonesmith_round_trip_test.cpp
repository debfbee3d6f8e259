// Sweeps made by the project's own tonesmith, measured straight back by
// echoprobe: every tone at full scale, normalised 1, 0 dB, in phase.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "sweep_recording.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

struct SweepAnswers {
    std::string rate;       // empty: the default
    std::string type;       // "1" octave, "2" linear
    std::string start;
    std::string end;
    std::string step;
    std::string tonesPerSync;
};

// tonesmith's questions: wave file, parameter file (the proposal), rate, type,
// start, end, step, minimum duration, settling time, tones per sync, advanced.
std::string tonesmithAnswers(const SweepAnswers& a) {
    return "sweep.wav\n\n" + a.rate + "\n" + a.type + "\n" + a.start + "\n" + a.end + "\n" + a.step + "\n\n\n" +
           a.tonesPerSync + "\nn\n";
}

void makeSweep(const TempDir& dir, const SweepAnswers& answers) {
    const ProgramRun run = test::runProgram(TONESMITH_PATH, {}, tonesmithAnswers(answers), dir.path().string());
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
}

std::string measureRecording(const TempDir& dir, const std::string& recording) {
    const ProgramRun run =
        test::runProgram(ECHOPROBE_PATH, {}, recording + "\nsweep.swp\nreport\n\n", dir.path().string());
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    return test::readFileText(dir.file("report.txt"));
}

std::vector<std::string> tableLines(const std::string& report) {
    std::vector<std::string> out;
    std::istringstream in(report);
    std::string line;
    for (int i = 0; i < 10 && std::getline(in, line); ++i) {
    }
    while (std::getline(in, line)) out.push_back(line);
    return out;
}

void expectStraightResponse(const std::string& report, std::size_t tones) {
    const std::vector<std::string> table = tableLines(report);
    ASSERT_EQ(table.size(), tones) << report;
    for (const std::string& line : table) {
        std::vector<double> values;
        std::istringstream in(line);
        for (std::string field; std::getline(in, field, ',');) values.push_back(std::strtod(field.c_str(), nullptr));
        ASSERT_EQ(values.size(), 5u) << line;
        EXPECT_NEAR(values[1], 32767.0, 0.5) << line;
        // Half a sample unit of 16-bit rounding is 1.5e-5 of full scale.
        EXPECT_NEAR(values[2], 1.0, 1.5e-5) << line;
        EXPECT_LT(std::fabs(values[3]), 0.0005) << line;
        EXPECT_LE(std::fabs(values[4]), 0.1) << line;
    }
}

}  // namespace

TEST(TonesmithRoundTripTail, ATailOfMinusOneSampleKeepsEveryLaterToneInPhase) {
    // With no drift allowance, 61.25 Hz at 22050 Hz has a block of 3600
    // samples and a tail of -1: the next tone starts on the block's last
    // sample, and the measurer must step back to it or every later tone is
    // one sample late (a full degree at this frequency).
    TempDir dir;
    const std::string answers = "sweep.wav\n\n22050\n2\n61.25\n71.25\n5\n\n\n\ny\n\n\n\n0\n";
    const ProgramRun made = test::runProgram(TONESMITH_PATH, {}, answers, dir.path().string());
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    expectStraightResponse(measureRecording(dir, "sweep.wav"), 3);
}

namespace {

// The samples of a WAV file that tonesmith wrote: a 44-byte header, then the data.
std::vector<std::int16_t> samplesOf(const std::string& path) {
    const test::Bytes bytes = test::readFileBytes(path);
    std::vector<std::int16_t> samples;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(test::loadU16(bytes, i)));
    return samples;
}

TEST(TonesmithRoundTrip, Defaults) {
    TempDir dir;
    makeSweep(dir, {});
    expectStraightResponse(measureRecording(dir, "sweep.wav"), 240);
}

TEST(TonesmithRoundTrip, LinearSweep) {
    TempDir dir;
    makeSweep(dir, {"44100", "2", "1000", "5000", "1000", ""});
    expectStraightResponse(measureRecording(dir, "sweep.wav"), 5);
}

TEST(TonesmithRoundTrip, SeveralSyncIntervals) {
    for (const char* perPulse : {"1", "2", "3"}) {
        TempDir dir;
        makeSweep(dir, {"", "2", "300", "3300", "500", perPulse});
        expectStraightResponse(measureRecording(dir, "sweep.wav"), 7);
    }
}

TEST(TonesmithRoundTrip, LowestAndHighestRates) {
    {
        TempDir dir;  // a sync pulse of a single sample
        makeSweep(dir, {"8000", "1", "100", "3900", "1", "2"});
        expectStraightResponse(measureRecording(dir, "sweep.wav"), 6);
    }
    {
        TempDir dir;
        makeSweep(dir, {"96000", "1", "50", "40000", "1", ""});
        expectStraightResponse(measureRecording(dir, "sweep.wav"), 10);
    }
}

TEST(TonesmithRoundTrip, PaddedOrShiftedRecordingsMeasureTheSame) {
    TempDir dir;
    makeSweep(dir, {"", "1", "200", "12800", "1", "2"});
    const std::string straight = measureRecording(dir, "sweep.wav");
    expectStraightResponse(straight, 7);
    const std::vector<std::int16_t> sweep = samplesOf(dir.file("sweep.wav"));
    for (std::size_t padding : {std::size_t{1}, std::size_t{7}, std::size_t{48000 * 3}}) {
        std::vector<std::int16_t> padded(padding, 0);
        padded.insert(padded.end(), sweep.begin(), sweep.end());
        test::writeWave(dir.file("padded.wav"), 48000, padded);
        const std::string report = measureRecording(dir, "padded.wav");
        EXPECT_EQ(tableLines(report), tableLines(straight)) << padding;
    }
}

}  // namespace
}  // namespace auralyn
