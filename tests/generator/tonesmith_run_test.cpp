// End-to-end runs of the tonesmith program with piped answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "run_program.h"
#include "test_files.h"

namespace auralyn {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::loadF64;
using test::loadU16;
using test::loadU32;

// Questions 1 to 9 for a linear sweep of three tones (1000, 1010, 1020 Hz) at 48000 Hz.
const std::string kShortSweep = "\n2\n1000\n1020\n10\n\n\n\nn\n";

class TonesmithRun : public testing::Test {
protected:
    test::ProgramRun run(const std::string& answers, std::vector<std::string> args = {}) {
        return test::runProgram(TONESMITH_PATH, args, answers, dir.path().string());
    }
    std::string file(const std::string& name) const { return dir.file(name); }
    bool exists(const std::string& name) const { return fs::exists(fs::symlink_status(file(name))); }
    bool empty() const { return fs::is_empty(dir.path()); }

    test::TempDir dir;
};

void expectWaveHeader(const Bytes& wav, std::uint32_t rate, std::uint32_t dataSize) {
    ASSERT_EQ(wav.size(), 44u + dataSize);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(loadU32(wav, 4), dataSize + 36);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(loadU32(wav, 16), 16u);
    EXPECT_EQ(loadU16(wav, 20), 1);
    EXPECT_EQ(loadU16(wav, 22), 1);
    EXPECT_EQ(loadU32(wav, 24), rate);
    EXPECT_EQ(loadU32(wav, 28), 2 * rate);
    EXPECT_EQ(loadU16(wav, 32), 2);
    EXPECT_EQ(loadU16(wav, 34), 16);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(loadU32(wav, 40), dataSize);
}

TEST_F(TonesmithRun, WritesTheParameterFileAsTheDialogueLeftIt) {
    test::ProgramRun r = run("s.wav\n\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    Bytes swp = test::readFileBytes(file("s.swp"));
    ASSERT_EQ(swp.size(), 147u);
    EXPECT_EQ(std::string(swp.begin(), swp.begin() + 11), "SWEEPPARAMS");
    EXPECT_EQ(swp[11], 1);  // locked
    EXPECT_EQ(loadF64(swp, 19), 1000.0);
    EXPECT_EQ(loadF64(swp, 27), 1020.0);
    EXPECT_EQ(loadF64(swp, 35), 10.0);
    EXPECT_EQ(loadF64(swp, 43), 0.02);
    EXPECT_EQ(loadF64(swp, 51), 0.0002);
    EXPECT_EQ(loadF64(swp, 59), 0.04);
    EXPECT_EQ(loadF64(swp, 67), 0.0002);
    EXPECT_EQ(loadF64(swp, 75), 0.5);
    EXPECT_EQ(loadU32(swp, 83), 48000u);
    EXPECT_EQ(loadU32(swp, 87), 400u);
    EXPECT_EQ(loadF64(swp, 91), 1.0);
    EXPECT_EQ(loadU32(swp, 107), 0u);
    EXPECT_EQ(loadU32(swp, 119), 0u);  // linear
    EXPECT_EQ(loadF64(swp, 123), 90.0);
    EXPECT_EQ(loadF64(swp, 131), 15.0);
    EXPECT_EQ(loadU32(swp, 139), 10u);
    // Run-time fields of question 5's rewind, made while the minimum duration was
    // still 0: tone 0 at 1000 Hz with 10 cycles, 480 samples.
    EXPECT_EQ(loadF64(swp, 99), 1000.0);
    EXPECT_EQ(loadU32(swp, 111), 0u);
    EXPECT_EQ(loadU32(swp, 115), 480u);
}

TEST_F(TonesmithRun, WritesTheWaveFileWithItsFinalHeader) {
    test::ProgramRun r = run("s.wav\n\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    // 168000 lead-in, 1938 sync, then 1920+960+48, 1948+998+47 and 1929+988+47 samples.
    expectWaveHeader(test::readFileBytes(file("s.wav")), 48000, 2 * 178823);
    EXPECT_NE(r.out.find("\n--- Tonesmith ---\nAuralyn version 1.0\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nGenerating tones. Percent done:\n\r0%  \r33%  \r67%  \r100%  \n"), std::string::npos);
    EXPECT_EQ(r.err, "");
}

TEST_F(TonesmithRun, EveryDefaultGivesAnOctaveSweepAt48000) {
    test::ProgramRun r = run("d.wav\n\n");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    Bytes swp = test::readFileBytes(file("d.swp"));
    ASSERT_EQ(swp.size(), 147u);
    EXPECT_EQ(loadU32(swp, 119), 1u);
    EXPECT_EQ(loadF64(swp, 35), 24.0);
    EXPECT_EQ(loadF64(swp, 27), 20000.0);
    EXPECT_EQ(loadU32(swp, 115), 24000u);
    Bytes wav = test::readFileBytes(file("d.wav"));
    expectWaveHeader(wav, 48000, static_cast<std::uint32_t>(wav.size() - 44));
}

TEST_F(TonesmithRun, ProposesTheWaveFileNameForTheParameterFile) {
    fs::create_directory(file("runs"));
    test::ProgramRun r = run("runs/take1.dat\n\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nEnter a name for the output wave file: "), std::string::npos);
    EXPECT_NE(r.out.find("\nEnter a name for the sweep parameters file [runs/take1]: "), std::string::npos);
    EXPECT_TRUE(exists("runs/take1.dat"));
    EXPECT_TRUE(exists("runs/take1.swp"));

    test::ProgramRun bare = run("sweep\n\n" + kShortSweep);
    EXPECT_NE(bare.out.find("parameters file [sweep]: "), std::string::npos);
    EXPECT_TRUE(exists("sweep.wav"));
    EXPECT_TRUE(exists("sweep.swp"));
}

TEST_F(TonesmithRun, WarnsOfAPulseBelowTheThresholdAndStillWritesTheSweep) {
    const std::string warning =
        "\nWarning: A synchronization pulse below the 15 % threshold cannot be found, so this sweep will not "
        "measure.";
    // A piped "y10" answers the pulse level with 10.
    test::ProgramRun low = run("s.wav\n\n\n2\n1000\n1020\n10\n\n\n\ny10\n\n\n\n\n");
    ASSERT_EQ(low.exitCode, 0) << low.out << low.err;
    EXPECT_NE(low.out.find("default=90): " + warning + "\nEnter the minimum number of cycles"), std::string::npos)
        << low.out;
    EXPECT_EQ(low.err, "");
    EXPECT_EQ(loadF64(test::readFileBytes(file("s.swp")), 123), 10.0);
    EXPECT_EQ(test::readFileBytes(file("s.wav")).size(), 44u + 2 * 178823);

    test::ProgramRun usual = run("u.wav\n\n\n2\n1000\n1020\n10\n\n\n\ny15\n\n\n\n\n");
    ASSERT_EQ(usual.exitCode, 0);
    EXPECT_EQ(usual.out.find("Warning"), std::string::npos);
}

TEST_F(TonesmithRun, CancelAtTheFirstQuestionCreatesNothing) {
    test::ProgramRun r = run("");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(empty());
}

TEST_F(TonesmithRun, CancelAtTheSecondQuestionLeavesNothing) {
    test::ProgramRun r = run("s.wav\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(empty());
}

// An existing pair is replaced only by a complete new one: a cancelled or
// failed run leaves it as it was, and no temporary file behind.
TEST_F(TonesmithRun, AnExistingSweepSurvivesACancelOrAFailure) {
    const Bytes oldWave{'o', 'l', 'd', 'w'};
    const Bytes oldParameters{'o', 'l', 'd', 'p'};
    test::writeFileBytes(file("sweep.wav"), oldWave);
    test::writeFileBytes(file("sweep.swp"), oldParameters);
    auto expectOldPairAlone = [&](const test::ProgramRun& r) {
        EXPECT_EQ(test::readFileBytes(file("sweep.wav")), oldWave) << r.out;
        EXPECT_EQ(test::readFileBytes(file("sweep.swp")), oldParameters) << r.out;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    };

    const test::ProgramRun cancelled = run("sweep.wav\n");
    EXPECT_EQ(cancelled.exitCode, 0);
    expectOldPairAlone(cancelled);

    const test::ProgramRun endedEarly = run("sweep.wav\n\n\n\n21000\n\n");
    EXPECT_EQ(endedEarly.exitCode, 1);
    expectOldPairAlone(endedEarly);

    const test::ProgramRun tooLong = run("sweep.wav\n\n96000\n2\n20\n300\n10\n1000\n\n\nn\n");
    EXPECT_EQ(tooLong.exitCode, 1);
    expectOldPairAlone(tooLong);

    fs::create_symlink("/dev/full", file("full.swp"));
    const test::ProgramRun full = run("sweep.wav\nfull\n" + kShortSweep);
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(test::readFileBytes(file("sweep.wav")), oldWave);
    EXPECT_TRUE(fs::is_symlink(file("full.swp")));
    fs::remove(file("full.swp"));
    expectOldPairAlone(full);
}

TEST_F(TonesmithRun, ACompleteRunReplacesBothFilesAndLeavesNoTemporaryFile) {
    test::writeFileBytes(file("sweep.wav"), {'o', 'l', 'd'});
    test::writeFileBytes(file("sweep.swp"), {'o', 'l', 'd'});
    // A file that happens to carry the first temporary name is not touched.
    test::writeFileBytes(file("sweep.wav.tmp"), {'m', 'i', 'n', 'e'});
    const test::ProgramRun r = run("sweep.wav\n\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    expectWaveHeader(test::readFileBytes(file("sweep.wav")), 48000, 2 * 178823);
    EXPECT_EQ(test::readFileBytes(file("sweep.swp")).size(), 147u);
    EXPECT_EQ(test::readFileBytes(file("sweep.wav.tmp")), (Bytes{'m', 'i', 'n', 'e'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST_F(TonesmithRun, AFileThatCannotBeOpenedIsAskedAgain) {
    test::ProgramRun r = run("nowhere/x.wav\ns.wav\nnowhere/p\np\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "Error: The selected file could not be opened.\nError: The selected file could not be opened.\n");
    // The retried question proposes what was typed before, as the dialog would.
    EXPECT_NE(r.out.find("output wave file [nowhere/x.wav]: "), std::string::npos);
    EXPECT_NE(r.out.find("parameters file [nowhere/p.swp]: "), std::string::npos);
    EXPECT_TRUE(exists("s.wav"));
    EXPECT_TRUE(exists("p.swp"));
    EXPECT_FALSE(exists("s.swp"));
}

// A question asked again after a failed open that gets no answer is a failure,
// not a cancel: the user's choice was never written.
TEST_F(TonesmithRun, InputEndingAfterAFileCouldNotBeOpenedFails) {
    for (const std::string& answers : {std::string("nowhere/x.wav\n"), std::string("s.wav\nnowhere/p\n")}) {
        test::ProgramRun r = run(answers);
        EXPECT_EQ(r.exitCode, 1) << answers;
        EXPECT_NE(r.out.find("\nError: The file question was given up after a file could not be opened; nothing was "
                             "written.\n"),
                  std::string::npos)
            << r.out;
        EXPECT_TRUE(empty());
    }
}

TEST_F(TonesmithRun, WarnsOfAToneAtHalfTheSamplingRateAndWritesTheSweepAsAlways) {
    // 20000 and 24000 Hz at 48000 Hz.
    test::ProgramRun r = run("s.wav\n\n\n2\n20000\n24000\n4000\n\n\n\nn\n");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\nWarning: The tone at 24000 Hz lies at half the sampling rate (48000 Hz), where it is "
                         "written as silence and cannot be measured; end the sweep below 24000 Hz.\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(exists("s.wav"));
    EXPECT_TRUE(exists("s.swp"));
    test::ProgramRun below = run("b.wav\n\n\n2\n20000\n23000\n3000\n\n\n\nn\n");
    ASSERT_EQ(below.exitCode, 0);
    EXPECT_EQ(below.out.find("Warning"), std::string::npos);
}

TEST_F(TonesmithRun, RefusesTheWaveFileAsParameterFile) {
    test::ProgramRun r = run("s.wav\ns.wav\np\n" + kShortSweep);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "Error: The parameter file cannot be the output wave file.\n");
    EXPECT_EQ(test::readFileBytes(file("p.swp")).size(), 147u);
    EXPECT_EQ(test::readFileBytes(file("s.wav")).size(), 44u + 2 * 178823);
}

TEST_F(TonesmithRun, InputEndingWithoutAnAcceptableAnswerFailsAndLeavesNothing) {
    test::ProgramRun r = run("s.wav\n\n\n\n21000\n\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("\nError: The input ended at a question that has no default; nothing was written.\n"),
              std::string::npos);
    EXPECT_TRUE(empty());
}

TEST_F(TonesmithRun, AFullDiskFailsAndLeavesNoPlainFile) {
    // The symlinks to /dev/full are the user's: they stay, the plain files go.
    fs::create_symlink("/dev/full", file("full.wav"));
    test::ProgramRun samples = run("full.wav\n\n" + kShortSweep);
    EXPECT_EQ(samples.exitCode, 1);
    EXPECT_NE(samples.out.find("\nError: Couldn't write the samples to full.wav (is the disk full?).\n"),
              std::string::npos);
    EXPECT_FALSE(exists("full.swp"));
    EXPECT_TRUE(fs::is_symlink(file("full.wav")));

    fs::create_symlink("/dev/full", file("p.swp"));
    test::ProgramRun parameters = run("s.wav\np\n" + kShortSweep);
    EXPECT_EQ(parameters.exitCode, 1);
    EXPECT_NE(parameters.out.find("\nError: Couldn't write the sweep parameter file p.swp.\n"), std::string::npos);
    EXPECT_EQ(parameters.out.find("Generating tones"), std::string::npos);
    EXPECT_FALSE(exists("s.wav"));
    EXPECT_TRUE(fs::is_symlink(file("p.swp")));
}

TEST_F(TonesmithRun, WritingToADeviceIsNoFailure) {
    test::ProgramRun r = run("/dev/null\ns\n" + kShortSweep);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(fs::exists("/dev/null"));
    EXPECT_EQ(test::readFileBytes(file("s.swp")).size(), 147u);
}

TEST_F(TonesmithRun, RefusesASweepTooLongForAWaveFile) {
    // 29 tones of at least 1000 s at 96000 Hz: more than 2.7 billion samples.
    test::ProgramRun r = run("s.wav\n\n96000\n2\n20\n300\n10\n1000\n\n\nn\n");
    EXPECT_EQ(r.exitCode, 1);
    const std::string prefix = "\nError: The sweep is too long for a wave file: ";
    const std::size_t at = r.out.find(prefix);
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_GT(std::stoull(r.out.substr(at + prefix.size())), 29ull * 96000000);
    EXPECT_NE(r.out.find("a wave file holds at most 2147483629 samples.\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Generating tones"), std::string::npos);
    EXPECT_TRUE(empty());
}

TEST_F(TonesmithRun, RefusesASweepWhoseParameterFileCouldNotBeLoaded) {
    // 99901 tones, each searched for an exact whole cycle among 3000 extra
    // samples: more search work than a parameter file may cost to load.
    test::ProgramRun r = run("s.wav\n\n48000\n2\n20\n20000\n0.2\n\n\n\ny\n\n0\n3000\n\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("\nError: The sweep could not be measured: the tone-length search would take too long."),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Generating tones"), std::string::npos);
    EXPECT_TRUE(empty());
}

TEST_F(TonesmithRun, HelpAndVersionAnswerWithoutQuestions) {
    test::ProgramRun help = run("", {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: tonesmith", 0), 0u);
    EXPECT_NE(help.out.find("piped"), std::string::npos);

    test::ProgramRun version = run("", {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tonesmith (Auralyn) 1.0\n");

    test::ProgramRun wrong = run("s.wav\n\n", {"sweep.wav"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, help.out);
    EXPECT_TRUE(empty());
}

}  // namespace
}  // namespace auralyn
