// tonesmith answered on a pseudo-terminal, as a person at the console would.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "terminal_session.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::loadF64;
using test::loadU32;

struct Exchange {
    const char* prompt;
    const char* typed;
};

TEST(TonesmithOnATerminal, ThrowsAwayTheRestOfEachTypedLineAndConfirmsReplacing) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("takes"));
    test::writeFileBytes(dir.file("takes/t.wav"), {1, 2, 3});
    test::TerminalSession session(TONESMITH_PATH, dir.path().string());

#ifdef TONESMITH_HAS_LINE_EDITING
    const char* waveName = "tak\tt\r";  // Tab completes the folder name
#else
    const char* waveName = "takes/t\r";
#endif
    const Exchange dialogue[] = {
        {"Enter a name for the output wave file: ", waveName},
        {"takes/t.wav already exists. Replace it? (y/n) ", "y\r"},
        {"Enter a name for the sweep parameters file [takes/t]: ", "\r"},
        // Judged on its first 19 characters, "8000 and then some ", the rest thrown away.
        {"(between 8000 and 96000; default=48000): ", "8000 and then some more words\r"},
        {"(default=Octave): ", "2 for linear\r"},
        {"(default=20): ", "1000\r"},
        {"(between 1000 and 4000; default=4000): ", "1020\r"},
        {"(default=10): ", "10\r"},
        {"(default=0.02): ", "\r"},
        {"default=0.04): ", "\r"},
        {"at the beginning. ", "\r"},
        {"advanced options? (y/n) ", "yes please\r"},
        {"(between 10 and 100; default=90): ", "55 percent\r"},
        {"(between 0 and 200; default=10): ", "\r"},
        {"default=1.0): ", "\r"},
        {"default=400): ", "\r"},
        {"default=0.0002): ", "\r"},
    };
    for (const Exchange& step : dialogue) {
        ASSERT_TRUE(session.expect(step.prompt)) << "waiting for: " << step.prompt << "\n" << session.output();
        session.type(step.typed);
    }
    ASSERT_TRUE(session.expect("\r100%  ")) << session.output();
    ASSERT_EQ(session.finish(), 0) << session.output();

    test::Bytes swp = test::readFileBytes(dir.file("takes/t.swp"));
    ASSERT_EQ(swp.size(), 147u);
    EXPECT_EQ(loadU32(swp, 83), 8000u);
    EXPECT_EQ(loadU32(swp, 119), 0u);
    EXPECT_EQ(loadF64(swp, 19), 1000.0);
    EXPECT_EQ(loadF64(swp, 27), 1020.0);
    EXPECT_EQ(loadF64(swp, 123), 55.0);
    EXPECT_EQ(loadU32(swp, 139), 10u);
    EXPECT_GT(test::readFileBytes(dir.file("takes/t.wav")).size(), 44u);
}

TEST(TonesmithOnATerminal, EndOfInputAtAFileQuestionCancels) {
    test::TempDir dir;
    test::TerminalSession session(TONESMITH_PATH, dir.path().string());
    ASSERT_TRUE(session.expect("Enter a name for the output wave file: "));
    session.type("\x04");
    EXPECT_EQ(session.finish(), 0) << session.output();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TonesmithOnATerminal, EndOfInputAfterConfirmingTheReplaceKeepsTheOldPair) {
    test::TempDir dir;
    const test::Bytes oldWave{'o', 'l', 'd', 'w'};
    const test::Bytes oldParameters{'o', 'l', 'd', 'p'};
    test::writeFileBytes(dir.file("sweep.wav"), oldWave);
    test::writeFileBytes(dir.file("sweep.swp"), oldParameters);
    test::TerminalSession session(TONESMITH_PATH, dir.path().string());
    ASSERT_TRUE(session.expect("Enter a name for the output wave file: "));
    session.type("sweep.wav\r");
    ASSERT_TRUE(session.expect("sweep.wav already exists. Replace it? (y/n) ")) << session.output();
    session.type("y\r");
    ASSERT_TRUE(session.expect("Enter a name for the sweep parameters file [sweep]: ")) << session.output();
    session.type("\x04");
    EXPECT_EQ(session.finish(), 0) << session.output();
    EXPECT_EQ(test::readFileBytes(dir.file("sweep.wav")), oldWave);
    EXPECT_EQ(test::readFileBytes(dir.file("sweep.swp")), oldParameters);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              2);
}

}  // namespace
}  // namespace auralyn
