#include "platform/console_question.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_stream.h"
#include "test_files.h"

namespace auralyn::platform {
namespace {

using test::ScratchStream;
using test::TempDir;

constexpr DialogSettings kSaveWave{"Enter a name for the output wave file", "Wave Files (*.wav)\0*.wav\0", "wav",
                                   kOverwritePrompt | kNoReadOnlyReturn};
constexpr DialogSettings kOpenSweep{"Select the sweep file", "Sweep Files (*.swp)\0*.swp\0", "swp", kFileMustExist};
constexpr DialogSettings kOpenAny{"Select the recording", "All Files (*.*)\0*\0", nullptr, kFileMustExist};

// One console question with scripted answers.
struct Console {
    ScratchStream in;
    ScratchStream out;
    ScratchStream err;
    ConsoleQuestion question;

    explicit Console(const std::string& answers, bool interactive = false) : in(answers) {
        question.in = in.get();
        question.out = out.get();
        question.err = err.get();
        question.interactive = interactive;
        question.home = "/home/tester";
    }

    std::optional<std::string> ask(const DialogSettings& settings, FileQuestion kind, const std::string& proposal = "") {
        return askFileOnConsole(question, settings, kind, proposal);
    }
};

void touch(const std::string& path) { test::writeFileBytes(path, {1, 2, 3}); }

TEST(ConsoleFileQuestion, PrintsTheTitleAndTheProposal) {
    Console console("a.wav\n");
    console.ask(kSaveWave, FileQuestion::save);
    EXPECT_EQ(console.out.text(), "\nEnter a name for the output wave file: ");

    Console proposed("\n");
    EXPECT_EQ(proposed.ask(kSaveWave, FileQuestion::save, "take1"), "take1.wav");
    EXPECT_EQ(proposed.out.text(), "\nEnter a name for the output wave file [take1]: ");
}

TEST(ConsoleFileQuestion, AddsTheDefaultExtensionOnlyToNamesWithoutOne) {
    EXPECT_EQ(Console("sweep\n").ask(kSaveWave, FileQuestion::save), "sweep.wav");
    EXPECT_EQ(Console("take1.dat\n").ask(kSaveWave, FileQuestion::save), "take1.dat");
    EXPECT_EQ(Console("runs.old/sweep\n").ask(kSaveWave, FileQuestion::save), "runs.old/sweep.wav");
    EXPECT_EQ(Console("sweep.\n").ask(kSaveWave, FileQuestion::save), "sweep.");
    DialogSettings noExtension = kSaveWave;
    noExtension.defaultExtension = nullptr;
    EXPECT_EQ(Console("sweep\n").ask(noExtension, FileQuestion::save), "sweep");
}

TEST(ConsoleFileQuestion, TrimsTheAnswerAndExpandsTheHomeFolder) {
    EXPECT_EQ(Console("  \tout.wav \r\n").ask(kSaveWave, FileQuestion::save), "out.wav");
    EXPECT_EQ(Console("~/out.wav\n").ask(kSaveWave, FileQuestion::save), "/home/tester/out.wav");
    EXPECT_EQ(Console("~out.wav\n").ask(kSaveWave, FileQuestion::save), "~out.wav");
    EXPECT_EQ(Console("last.wav").ask(kSaveWave, FileQuestion::save), "last.wav");
}

TEST(ConsoleFileQuestion, EmptyAnswerTakesTheProposalOrAsksAgain) {
    Console console("\n  \nb\n");
    EXPECT_EQ(console.ask(kSaveWave, FileQuestion::save), "b.wav");
    const std::string prompt = "\nEnter a name for the output wave file: ";
    EXPECT_EQ(console.out.text(), prompt + prompt + prompt);

    EXPECT_EQ(Console("\n").ask(kSaveWave, FileQuestion::save, "dir/sweep"), "dir/sweep.wav");
}

TEST(ConsoleFileQuestion, AcceptedProposalGetsTheDefaultExtensionUnlessItEndsInIt) {
    // A proposal is a base name: rec.take1.wav proposes rec.take1, which must become rec.take1.wav here.
    EXPECT_EQ(Console("\n").ask(kSaveWave, FileQuestion::save, "rec.take1"), "rec.take1.wav");
    EXPECT_EQ(Console("\n").ask(kSaveWave, FileQuestion::save, "rec.WAV"), "rec.WAV");
    // Typed, the same name keeps its own extension.
    EXPECT_EQ(Console("rec.take1\n").ask(kSaveWave, FileQuestion::save, "rec.take1"), "rec.take1");
}

TEST(ConsoleFileQuestion, EndOfInputCancels) {
    EXPECT_EQ(Console("").ask(kSaveWave, FileQuestion::save), std::nullopt);
    EXPECT_EQ(Console("\n\n").ask(kSaveWave, FileQuestion::save), std::nullopt);
    EXPECT_EQ(Console("").ask(kSaveWave, FileQuestion::save, "sweep"), std::nullopt);
}

TEST(ConsoleFileQuestion, AsksBeforeReplacingAFileOnlyOnATerminal) {
    TempDir dir;
    const std::string existing = dir.file("old.wav");
    touch(existing);

    EXPECT_EQ(Console(existing + "\n").ask(kSaveWave, FileQuestion::save), existing);

    Console yes(existing + "\ny\n", true);
    EXPECT_EQ(yes.ask(kSaveWave, FileQuestion::save), existing);
    EXPECT_NE(yes.out.text().find(existing + " already exists. Replace it? (y/n) "), std::string::npos);

    Console no(existing + "\nno\n" + dir.file("new") + "\n", true);
    EXPECT_EQ(no.ask(kSaveWave, FileQuestion::save), dir.file("new.wav"));

    Console undecided(existing + "\nmaybe\n\nY\n", true);
    EXPECT_EQ(undecided.ask(kSaveWave, FileQuestion::save), existing);

    EXPECT_EQ(Console(existing + "\n", true).ask(kSaveWave, FileQuestion::save), std::nullopt);
}

TEST(ConsoleFileQuestion, OpenRefusesMissingFilesAndAsksAgain) {
    TempDir dir;
    touch(dir.file("sweep.swp"));
    Console console(dir.file("missing.swp") + "\n" + dir.file("sweep") + "\n");
    EXPECT_EQ(console.ask(kOpenSweep, FileQuestion::open), dir.file("sweep.swp"));
    EXPECT_EQ(console.err.text(), "Error: " + dir.file("missing.swp") + " does not exist.\n");
}

TEST(ConsoleFileQuestion, OpenTakesAnExistingFileWithoutExtensionAsTyped) {
    TempDir dir;
    touch(dir.file("take1"));
    EXPECT_EQ(Console(dir.file("take1") + "\n").ask(kOpenSweep, FileQuestion::open), dir.file("take1"));
    EXPECT_EQ(Console(dir.file("take1") + "\n").ask(kOpenAny, FileQuestion::open), dir.file("take1"));
}

TEST(ConsoleFileQuestion, RefusesFoldersAndOverlongNames) {
    TempDir dir;
    Console folder(dir.path().string() + "\n" + dir.path().string() + "/\nx\n");
    EXPECT_EQ(folder.ask(kSaveWave, FileQuestion::save), "x.wav");
    const std::string err = folder.err.text();
    EXPECT_NE(err.find("Error: " + dir.path().string() + " is a folder, not a file.\n"), std::string::npos);
    EXPECT_NE(err.find("Error: " + dir.path().string() + "/ is a folder, not a file.\n"), std::string::npos);

    Console tooLong(std::string(100000, 'a') + "\n" + std::string(597, 'b') + "\nok\n");
    EXPECT_EQ(tooLong.ask(kSaveWave, FileQuestion::save), "ok.wav");
    EXPECT_EQ(tooLong.err.text(), "Error: The file name is too long.\nError: The file name is too long.\n");

    EXPECT_EQ(Console(std::string(595, 'c') + "\n").ask(kSaveWave, FileQuestion::save)->size(), 599u);
}

TEST(ConsoleFileQuestion, RefusesNamesHoldingANulCharacter) {
    Console console(std::string("bad\0name\ngood\n", 14));
    EXPECT_EQ(console.ask(kSaveWave, FileQuestion::save), "good.wav");
    EXPECT_EQ(console.err.text(), "Error: The file name is not valid.\n");
}

TEST(ConsoleFileQuestion, UsesTheLineReaderWhenGiven) {
    Console console("not read\n");
    std::string seenPrompt;
    console.question.readLine = [&](const std::string& prompt, std::string& line) {
        seenPrompt = prompt;
        line = "edited";
        return true;
    };
    EXPECT_EQ(console.ask(kSaveWave, FileQuestion::save, "p"), "edited.wav");
    EXPECT_EQ(seenPrompt, "\nEnter a name for the output wave file [p]: ");
    EXPECT_EQ(console.in.rest(), "not read\n");
}

TEST(ReadAnswerLine, ReadsOneLineAndLeavesTheRest) {
    ScratchStream in("first line\nsecond\n");
    std::string line;
    ASSERT_TRUE(readAnswerLine(in.get(), line, 100));
    EXPECT_EQ(line, "first line");
    EXPECT_EQ(in.rest(), "second\n");
}

TEST(ReadAnswerLine, KeepsABoundedPrefixOfALongLine) {
    ScratchStream in(std::string(5000, 'x') + "\nnext\n");
    std::string line;
    ASSERT_TRUE(readAnswerLine(in.get(), line, 10));
    EXPECT_EQ(line, "xxxxxxxxxx");
    EXPECT_EQ(in.rest(), "next\n");
}

TEST(ReadAnswerLine, EndOfInputIsFalseOnlyBeforeAnyCharacter) {
    ScratchStream in("tail");
    std::string line;
    EXPECT_TRUE(readAnswerLine(in.get(), line, 100));
    EXPECT_EQ(line, "tail");
    EXPECT_FALSE(readAnswerLine(in.get(), line, 100));
}

TEST(ErrorLine, IsTheMessageBoxTextAfterError) {
    ScratchStream err;
    writeErrorLine(err.get(), "The selected file could not be opened.");
    EXPECT_EQ(err.text(), "Error: The selected file could not be opened.\n");
}

}  // namespace
}  // namespace auralyn::platform
