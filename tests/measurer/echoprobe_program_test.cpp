// The echoprobe program run as a user runs it, with the answers piped in:
// recording, parameter file, output file (empty: the proposal), then Enter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "sweep/sweep_layout.h"
#include "echoprobe_texts.h"
#include "sweep_recording.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

const std::string kColumns = "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)";

using test::withLineFeeds;

std::string readText(const std::string& path) { return withLineFeeds(test::readFileText(path)); }

ProgramRun echoprobe(const TempDir& dir, const std::string& answers, const std::vector<std::string>& args = {}) {
    ProgramRun run = test::runProgram(ECHOPROBE_PATH, args, answers, dir.path().string());
    run.out = withLineFeeds(run.out);
    run.err = withLineFeeds(run.err);
    return run;
}

bool exists(const TempDir& dir, const std::string& name) { return std::filesystem::exists(dir.file(name)); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::vector<double> fields(const std::string& line) {
    std::vector<double> out;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) out.push_back(std::strtod(field.c_str(), nullptr));
    return out;
}

// A straight recording of a clean sweep: every tone at full scale, in phase.
void expectCleanReport(const std::string& report, std::size_t tones, const std::string& recordingName) {
    const std::vector<std::string> text = lines(report);
    ASSERT_EQ(text.size(), 10 + tones) << report;
    EXPECT_EQ(text[0], "Input file, \"" + recordingName + "\"");
    EXPECT_EQ(text[9], kColumns);
    for (std::size_t i = 10; i < text.size(); ++i) {
        const std::vector<double> values = fields(text[i]);
        ASSERT_EQ(values.size(), 5u) << text[i];
        EXPECT_NEAR(values[1], 32767.0, 0.5) << text[i];
        EXPECT_NE(text[i].find(", 1.00000, "), std::string::npos) << text[i];
        // 0.000 dB within rounding; a mean a hair above the amplitude prints as -0.000.
        EXPECT_TRUE(text[i].find(", 0.000, ") != std::string::npos || text[i].find(", -0.000, ") != std::string::npos)
            << text[i];
        EXPECT_LE(std::fabs(values[4]), 0.1) << text[i];
    }
}

void writeSweep(const TempDir& dir, const sweep::SweepPlan& plan, const std::vector<std::int16_t>& samples) {
    test::writeWave(dir.file("rec.wav"), plan.params().sampleRate, samples);
    test::writeSweepParameters(dir.file("sweep.swp"), plan);
}

TEST(EchoprobeRun, MeasuresACleanSweepIntoTheProposedFile) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    writeSweep(dir, plan, test::synthesiseSweep(plan));
    const ProgramRun run = echoprobe(dir, "rec.wav\nsweep.swp\n\n\n");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("\n--- Echoprobe ---\n", 0), 0u) << run.out;
    EXPECT_NE(run.out.find(test::kFullScalePeak + test::kEndPrompt), std::string::npos) << run.out;
    ASSERT_TRUE(exists(dir, "rec.txt"));
    expectCleanReport(readText(dir.file("rec.txt")), 4, "rec.wav");
}

TEST(EchoprobeRun, ShiftedAndPaddedRecordingsMeasureTheSame) {
    const sweep::SweepPlan plan = test::shortSweepPlan(44100, 16000.0);
    const std::vector<std::int16_t> clean = test::synthesiseSweep(plan);
    std::string reference;
    for (std::size_t padding : {std::size_t{0}, std::size_t{5}, std::size_t{44100 * 2}}) {
        TempDir dir;
        std::vector<std::int16_t> samples(padding, 0);
        samples.insert(samples.end(), clean.begin(), clean.end());
        writeSweep(dir, plan, samples);
        const ProgramRun run = echoprobe(dir, "rec.wav\nsweep.swp\nout\n\n");
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        const std::string report = readText(dir.file("out.txt"));
        if (reference.empty()) reference = report;
        EXPECT_EQ(report, reference) << padding;
    }
    expectCleanReport(reference, 5, "rec.wav");
}

TEST(EchoprobeRun, CancelledQuestionsEndAtOnceWithoutAReport) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    writeSweep(dir, plan, std::vector<std::int16_t>(100, 0));
    const ProgramRun first = echoprobe(dir, "");
    EXPECT_EQ(first.exitCode, 0);
    EXPECT_EQ(first.out.find(test::kEndPrompt), std::string::npos);
    const ProgramRun second = echoprobe(dir, "rec.wav\n");
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.out.find(test::kEndPrompt), std::string::npos);
    const ProgramRun third = echoprobe(dir, "rec.wav\nsweep.swp\n");
    EXPECT_EQ(third.exitCode, 0);
    EXPECT_EQ(third.out.find(test::kEndPrompt), std::string::npos);
    EXPECT_FALSE(exists(dir, "rec.txt"));
}

TEST(EchoprobeRun, UnusableFilesAreAskedForAgain) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    writeSweep(dir, plan, test::synthesiseSweep(plan));
    test::writeFileBytes(dir.file("notes.wav"), {'n', 'o', 't', 'e'});
    test::Bytes shortParameters = test::readFileBytes(dir.file("sweep.swp"));
    shortParameters.resize(100);
    test::writeFileBytes(dir.file("short.swp"), shortParameters);
    test::Bytes foreign = test::readFileBytes(dir.file("sweep.swp"));
    foreign[3] = 'X';
    test::writeFileBytes(dir.file("foreign.swp"), foreign);
    const ProgramRun run = echoprobe(dir, "notes.wav\nrec.wav\nshort.swp\nforeign.swp\nrec.wav\nsweep.swp\nrep\n\n");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("The selected file could not be opened as a wave file."), std::string::npos) << run.err;
    const std::string parameterMessage = "The selected file is not a list of sweep parameters.";
    const std::size_t firstRefusal = run.err.find(parameterMessage);
    ASSERT_NE(firstRefusal, std::string::npos) << run.err;
    EXPECT_NE(run.err.find(parameterMessage, firstRefusal + 1), std::string::npos) << run.err;
    const std::size_t third = run.err.find(parameterMessage, run.err.find(parameterMessage, firstRefusal + 1) + 1);
    EXPECT_NE(third, std::string::npos) << "a WAV file is no parameter file: " << run.err;
    expectCleanReport(readText(dir.file("rep.txt")), 4, "rec.wav");
}

TEST(EchoprobeRun, ReportIsNeverWrittenOverItsOwnInputs) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    writeSweep(dir, plan, test::synthesiseSweep(plan));
    const test::Bytes recording = test::readFileBytes(dir.file("rec.wav"));
    const test::Bytes parameters = test::readFileBytes(dir.file("sweep.swp"));
    const ProgramRun run = echoprobe(dir, "rec.wav\nsweep.swp\nrec.wav\n./sweep.swp\nfine.txt\n\n");
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    const std::string refusal = "The selected file could not be opened for output.";
    const std::size_t first = run.err.find(refusal);
    ASSERT_NE(first, std::string::npos) << run.err;
    EXPECT_NE(run.err.find(refusal, first + 1), std::string::npos) << run.err;
    EXPECT_EQ(test::readFileBytes(dir.file("rec.wav")), recording);
    EXPECT_EQ(test::readFileBytes(dir.file("sweep.swp")), parameters);
    expectCleanReport(readText(dir.file("fine.txt")), 4, "rec.wav");
}

// echoprobe, measuring rec.wav against sweep.swp in `dir`, fails with
// `message` as its last words before the end prompt.
void expectFailureEndingWith(const TempDir& dir, const std::string& message) {
    const ProgramRun run = echoprobe(dir, "rec.wav\nsweep.swp\n\n\n");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find(message + test::kEndPrompt), std::string::npos) << run.out;
}

TEST(EchoprobeRun, WrongFormatFailsAfterThePromptWithAnEmptyReport) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    test::writeSweepParameters(dir.file("sweep.swp"), plan);
    test::writeWave(dir.file("rec.wav"), 44100, test::synthesiseSweep(plan));
    expectFailureEndingWith(dir, "\nshould be 48000 Hz.");
    EXPECT_EQ(readText(dir.file("rec.txt")), "");

    test::writeWave(dir.file("rec.wav"), 48000, std::vector<std::int16_t>(200, 0), 2);
    expectFailureEndingWith(dir, "\nError: Please only use input wave files with one channel (mono).");
}

TEST(EchoprobeRun, ShortOrSilentRecordingsLeaveTheHeaderAlone) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    // Exactly the lead-in: the skip must leave at least one sample.
    writeSweep(dir, plan, std::vector<std::int16_t>(static_cast<std::size_t>(sweep::measurerLeadInSamples(plan.params())), 0));
    expectFailureEndingWith(dir, "\nError: Input wave file ended before expected.");
    EXPECT_EQ(lines(readText(dir.file("rec.txt"))).size(), 9u);

    writeSweep(dir, plan, std::vector<std::int16_t>(48000 * 5, 0));
    expectFailureEndingWith(dir, "\nError: The synchronization pulse could not be found.");
    EXPECT_EQ(lines(readText(dir.file("rec.txt"))).size(), 9u);
}

TEST(EchoprobeRun, EndOfInputAtTheEnterPromptEndsTheProgram) {
    TempDir dir;
    const sweep::SweepPlan plan = test::shortSweepPlan();
    writeSweep(dir, plan, test::synthesiseSweep(plan));
    const ProgramRun run = echoprobe(dir, "rec.wav\nsweep.swp\n\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.ends_with(test::kEndPrompt)) << run.out;
}

TEST(EchoprobeRun, HelpAndVersion) {
    TempDir dir;
    const ProgramRun help = echoprobe(dir, "", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("echoprobe"), std::string::npos);
    const ProgramRun version = echoprobe(dir, "", {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("1.0"), std::string::npos);
    EXPECT_NE(echoprobe(dir, "", {"--frobnicate"}).exitCode, 0);
}

}  // namespace
}  // namespace auralyn
