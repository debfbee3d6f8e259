// `auralyn measure` command lines refused before any device opens: no sound
// server needed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"

namespace auralyn::audio {
namespace {

using test::ProgramRun;
using test::TempDir;
using test::joined;

TEST(MeasureCommandLine, RefusesWhatCannotBeMeasured) {
    TempDir dir;
    auto run = [&dir](const std::vector<std::string>& args) {
        return test::runProgram(AURALYN_PATH, joined({"measure"}, args), "", dir.path().string());
    };
    EXPECT_EQ(run({"--input-channel", "2", "--reference-channel", "2"}).exitCode, 2);
    EXPECT_EQ(run({"--output-channels", "X"}).exitCode, 2);
    EXPECT_EQ(run({"--input-channel", "0"}).exitCode, 2);
    EXPECT_EQ(run({"--sweep", "a.wav", "a.swp", "--rate", "44100"}).exitCode, 2);
    EXPECT_EQ(run({"--keep-recording", "x.wav", "--csv", "x.wav"}).exitCode, 2);
    EXPECT_EQ(run({"--rate", "5"}).exitCode, 2);
    EXPECT_EQ(run({"--bits", "20"}).exitCode, 2);

    // A sweep whose WAV file is not at its parameter file's rate.
    ASSERT_EQ(test::runProgram(AURALYN_PATH, {"sweep", "-o", "s48.wav", "--start", "1000", "--end", "2000"}, "",
                               dir.path().string()).exitCode, 0);
    ASSERT_EQ(test::runProgram(AURALYN_PATH, {"sweep", "-o", "s44.wav", "--rate", "44100", "--start", "1000",
                                              "--end", "2000"}, "", dir.path().string()).exitCode, 0);
    const ProgramRun mixed = run({"--sweep", "s44.wav", "s48.swp"});
    EXPECT_EQ(mixed.exitCode, 1);
    EXPECT_NE(mixed.err.find("auralyn: s44.wav: its rate, 44100 Hz, is not the parameter file's 48000 Hz"),
              std::string::npos) << mixed.err;
    const ProgramRun missing = run({"--sweep", "none.wav", "s48.swp"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.wav: no such file"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace auralyn::audio
