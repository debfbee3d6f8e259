// auralyn sweep against tonesmith given the same answers, its refusals and its
// conventions, run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "program_runs.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

struct SameSweep {
    std::vector<std::string> options;
    std::string answers;  // tonesmith's questions 1 to 9, then the advanced ones; from a
                          // pipe the rest of the yes/no line answers the first of them
};

// Option sets and the tonesmith answers that mean the same.
const std::vector<SameSweep> kSameSweeps = {
    {{}, "\n\n\n\n\n\n\n\nn\n"},
    {{"--linear", "--start", "1000", "--end", "1000.3", "--step", "0.1"}, "\n2\n1000\n1000.3\n0.1\n\n\n\nn\n"},
    {{"--rate", "8000", "--start", "100", "--step", "3"}, "8000\n\n100\n\n3\n\n\n\nn\n"},
    {{"--rate", "96000", "--octave", "--start", "1000", "--end", "48000", "--step", "2", "--tones-per-sync", "5"},
     "96000\n1\n1000\n48000\n2\n\n\n5\nn\n"},
    {{"--rate", "44100.9", "--start", "20", "--end", "200", "--step", "6", "--tones-per-sync", "2.7"},
     "44100.9\n\n20\n200\n6\n\n\n2.7\nn\n"},
    {{"--rate", "44100", "--linear", "--start", "500", "--end", "2500", "--step", "250", "--min-duration", "0.05",
      "--settling", "0.005", "--max-fractional-cycle", "0.01", "--max-extra-samples", "3000", "--sync-level", "50",
      "--min-cycles", "3", "--max-drift", "0.001"},
     "44100\n2\n500\n2500\n250\n0.05\n0.005\n\ny50\n3\n0.01\n3000\n0.001\n"},
    {{"--rate", "22050", "--start", "9975", "--end", "9975", "--min-duration", "0", "--max-fractional-cycle", "0",
      "--max-extra-samples", "3000", "--tones-per-sync", "1", "--settling", "0"},
     "22050\n\n9975\n9975\n\n0\n0\n1\ny\n\n0\n3000\n\n"},
};

// A tone at half the sampling rate is silence: tonesmith writes it as it always
// did, with a warning; auralyn sweep refuses it.
TEST(SweepProgram, AToneAtHalfTheRateIsWrittenOnlyByTonesmith) {
    TempDir dir;
    const ProgramRun t = test::tonesmith(dir, "t", "\n\n24000\n24000\n\n\n\n\ny100\n\n\n\n0\n");
    ASSERT_EQ(t.exitCode, 0) << t.out;
    EXPECT_NE(t.out.find("Warning: The tone at 24000 Hz lies at half the sampling rate"), std::string::npos) << t.out;
    EXPECT_EQ(test::fileCount(dir), 2u);
    const ProgramRun a = test::auralyn(dir, {"sweep", "-q", "-o", "a.wav", "--rate", "48000", "--start", "24000",
                                             "--end", "24000", "--max-drift", "0", "--sync-level", "100"});
    EXPECT_EQ(a.exitCode, 2);
    EXPECT_EQ(test::fileCount(dir), 2u);
}

TEST(SweepProgram, WritesTonesmithsFilesByteForByte) {
    for (const SameSweep& c : kSameSweeps) {
        TempDir dir;
        const ProgramRun t = test::tonesmith(dir, "t", c.answers);
        ASSERT_EQ(t.exitCode, 0) << c.answers << t.out;
        std::vector<std::string> args{"sweep", "-q", "-o", "a.wav"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramRun a = test::auralyn(dir, args);
        ASSERT_EQ(a.exitCode, 0) << c.answers << a.err;
        EXPECT_EQ(test::readFileBytes(dir.file("a.wav")), test::readFileBytes(dir.file("t.wav"))) << c.answers;
        EXPECT_EQ(test::readFileBytes(dir.file("a.swp")), test::readFileBytes(dir.file("t.swp"))) << c.answers;
        EXPECT_EQ(a.err, "");
        EXPECT_EQ(test::fileCount(dir), 4u);
    }
}

TEST(SweepProgram, SaysHowLongTheSweepIs) {
    TempDir dir;
    const ProgramRun a = test::auralyn(dir, {"sweep", "-o", "s.wav", "--linear", "--start", "1000", "--end",
                                             "1000.3", "--step", "0.1", "--parameters", "p.swp"});
    ASSERT_EQ(a.exitCode, 0) << a.err;
    // 4 tones: 1000.3 lies on the fourth although the tone count says 3.
    const std::size_t samples = (test::readFileBytes(dir.file("s.wav")).size() - 44) / 2;
    char expected[200];
    std::snprintf(expected, sizeof expected, "Sweep: 4 tones, %.3f seconds (%zu samples at 48000 Hz)\n",
                  samples / 48000.0, samples);
    EXPECT_EQ(a.out, std::string(expected) + "Wrote s.wav and p.swp\n");
    EXPECT_TRUE(test::exists(dir, "p.swp"));
    EXPECT_FALSE(test::exists(dir, "s.swp"));
}

TEST(SweepProgram, TheParameterFileReplacesTheWaveFilesExtension) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub.d"));
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "sub.d/take1.dat", "--start", "10000"}).exitCode, 0);
    EXPECT_TRUE(test::exists(dir, "sub.d/take1.swp"));
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "sub.d/plain", "--start", "10000"}).exitCode, 0);
    EXPECT_TRUE(test::exists(dir, "sub.d/plain.swp"));
}

TEST(SweepProgram, RefusesBadValuesWithExitTwoAndWritesNothing) {
    const std::vector<std::vector<std::string>> bad = {
        {"--rate", "7999"},        {"--rate", "96001"},          {"--rate", "48000Hz"},
        {"--start", "0.09"},       {"--start", "abc"},           {"--start", "30000"},
        {"--end", "10"},           {"--start", "21000"},         {"--step", "0.09"},
        {"--step", "5000.1"},      {"--linear", "--step", "0"},  {"--linear", "--step", "1e11"},
        {"--min-duration", "-1"},  {"--min-duration", "1001"},   {"--settling", "1.5"},
        {"--tones-per-sync", "4294967296"}, {"--tones-per-sync", "-1"}, {"--sync-level", "9"},
        {"--sync-level", "101"},   {"--min-cycles", "201"},      {"--max-fractional-cycle", "1.1"},
        {"--max-extra-samples", "3001"}, {"--max-drift", "2"},   {"--max-drift", "inf"},
        {"--rate", ""},
    };
    for (const std::vector<std::string>& options : bad) {
        TempDir dir;
        std::vector<std::string> args{"sweep", "-o", "s.wav"};
        args.insert(args.end(), options.begin(), options.end());
        const ProgramRun a = test::auralyn(dir, args);
        EXPECT_EQ(a.exitCode, 2) << options[0];
        EXPECT_EQ(a.err.rfind("auralyn: ", 0), 0u) << a.err;
        // The message names the option and the value.
        const std::string& option = options[options.size() - 2];
        const std::string& value = options.back();
        EXPECT_NE(a.err.find(option), std::string::npos) << a.err;
        EXPECT_NE(a.err.find(value), std::string::npos) << a.err;
        EXPECT_NE(a.err.find("expected a number from"), std::string::npos) << a.err;
        EXPECT_EQ(test::fileCount(dir), 0u) << a.err;
    }
}

TEST(SweepProgram, RefusesABadCommandLineWithAHint) {
    const std::vector<std::vector<std::string>> bad = {
        {"sweep"}, {"sweep", "-o", "s.wav", "--octave", "--linear"}, {"sweep", "-o", "s.wav", "--bogus"},
        {"sweep", "-o", "s.wav", "--rate"}, {"sweep", "-o", "s.wav", "--parameters", "s.wav"}, {}, {"nocommand"}};
    for (const std::vector<std::string>& args : bad) {
        TempDir dir;
        const ProgramRun a = test::auralyn(dir, args);
        EXPECT_EQ(a.exitCode, 2) << a.err;
        EXPECT_EQ(a.err.rfind("auralyn: ", 0), 0u) << a.err;
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(test::fileCount(dir), 0u);
    }
    TempDir dir;
    EXPECT_NE(test::auralyn(dir, {"sweep", "--bogus", "-o", "s.wav"}).err.find("Try 'auralyn sweep --help'."),
              std::string::npos);
}

TEST(SweepProgram, RefusesWhatTonesmithRefusesWithTheSameReason) {
    struct Refused {
        std::vector<std::string> options;
        std::string answers;
    };
    const std::vector<Refused> cases = {
        // 29 tones of at least 1000 s at 96000 Hz: too long for a WAV file.
        {{"--rate", "96000", "--linear", "--start", "20", "--end", "300", "--step", "10", "--min-duration", "1000"},
         "96000\n2\n20\n300\n10\n1000\n\n\nn\n"},
        // Every linear tone searched to a fractional cycle of 0: the search takes too long.
        {{"--linear", "--start", "20", "--end", "20000", "--step", "0.2", "--max-fractional-cycle", "0",
          "--max-extra-samples", "3000"},
         "48000\n2\n20\n20000\n0.2\n\n\n\ny\n\n0\n3000\n\n"},
    };
    for (const Refused& c : cases) {
        TempDir dir;
        const ProgramRun t = test::tonesmith(dir, "t", c.answers);
        ASSERT_EQ(t.exitCode, 1);
        const std::size_t at = t.out.find("\nError: ");
        ASSERT_NE(at, std::string::npos) << t.out;
        const std::string reason = t.out.substr(at + 8);
        std::vector<std::string> args{"sweep", "-o", "a.wav"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProgramRun a = test::auralyn(dir, args);
        EXPECT_EQ(a.exitCode, 2);
        EXPECT_EQ(a.err, "auralyn: " + reason);
        EXPECT_EQ(test::fileCount(dir), 0u);
    }
}

TEST(SweepProgram, AFullDiskFailsAndLeavesNeitherFile) {
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.file("full.wav"));
    ProgramRun a = test::auralyn(dir, {"sweep", "-q", "-o", "full.wav", "--start", "10000"});
    EXPECT_EQ(a.exitCode, 1);
    EXPECT_EQ(a.err.rfind("auralyn: full.wav: ", 0), 0u) << a.err;
    EXPECT_EQ(a.out, "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("full.wav")));
    EXPECT_EQ(test::fileCount(dir), 1u);

    std::filesystem::create_symlink("/dev/full", dir.file("full.swp"));
    a = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--parameters", "full.swp", "--start", "10000"});
    EXPECT_EQ(a.exitCode, 1);
    EXPECT_EQ(a.err.rfind("auralyn: full.swp: ", 0), 0u) << a.err;
    EXPECT_FALSE(test::exists(dir, "s.wav"));
    EXPECT_EQ(test::fileCount(dir), 2u);
}

TEST(SweepProgram, WritesIntoADeviceWithoutReplacingIt) {
    TempDir dir;
    const ProgramRun a = test::auralyn(dir, {"sweep", "-q", "-o", "/dev/null", "--parameters", "/dev/null"});
    EXPECT_EQ(a.exitCode, 0) << a.err;
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(test::fileCount(dir), 0u);
}

TEST(SweepProgram, UsageListsEveryOptionWithItsDefault) {
    TempDir dir;
    const ProgramRun help = test::auralyn(dir, {"help", "sweep"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, test::auralyn(dir, {"sweep", "--help"}).out);
    for (const char* option :
         {"--rate HZ=48000", "--octave", "--linear", "--start HZ=20", "--end HZ=20000, or rate/2 if lower",
          "--step X=24 (octave), 10 (linear)", "--min-duration S=0.02", "--settling S=0.04", "--tones-per-sync N=0",
          "--sync-level PCT=90", "--min-cycles N=10", "--max-fractional-cycle X=1", "--max-extra-samples N=400",
          "--max-drift S=0.0002", "--parameters FILE=", "-o,--output"}) {
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    }
    const ProgramRun top = test::auralyn(dir, {"--help"});
    EXPECT_EQ(top.exitCode, 0);
    for (const char* command : {"sweep", "analyze", "plot", "simulate", "help"})
        EXPECT_NE(top.out.find(command), std::string::npos);
    const ProgramRun version = test::auralyn(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("1.0"), std::string::npos);
    const ProgramRun unknown = test::auralyn(dir, {"help", "nonsense"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err.rfind("auralyn: ", 0), 0u);
}

}  // namespace
}  // namespace auralyn
