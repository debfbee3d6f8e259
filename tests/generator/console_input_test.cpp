#include "generator/console_input.h"

#include <gtest/gtest.h>

#include "scratch_stream.h"

namespace auralyn {
namespace {

using test::ScratchStream;

// Scripted answers, read either as from a pipe or as from a terminal.
struct Answers {
    ScratchStream in;
    ScratchStream out;
    generator::ConsoleInput input;

    explicit Answers(const std::string& text, bool terminal = false) : in(text) {
        input.in = in.get();
        input.out = out.get();
        input.interactive = terminal;
    }
};

TEST(ReadNumber, BlankLineTakesAnAllowedDefault) {
    Answers answers(" \t\r\n");
    EXPECT_EQ(generator::readNumber(answers.input, 8000, 96000, 48000), 48000);
}

TEST(ReadNumber, SkipsAnswersOutsideTheRangeSilently) {
    Answers answers("7999\n96001\nabc\n96000\n");
    EXPECT_EQ(generator::readNumber(answers.input, 8000, 96000, 48000), 96000);
    EXPECT_EQ(answers.out.text(), "");
}

TEST(ReadNumber, ConvertsTheLeadingNumberOfTheText) {
    Answers answers("48000Hz\n  0.5e1x\nabc\n");
    EXPECT_EQ(generator::readNumber(answers.input, 8000, 96000, 1), 48000);
    EXPECT_EQ(generator::readNumber(answers.input, 0, 10, 1), 5);
    EXPECT_EQ(generator::readNumber(answers.input, 0, 10, 1), 0);  // text without a number is 0
}

TEST(ReadNumber, SwapsReversedBoundsAndAcceptsTheBoundsThemselves) {
    Answers answers("1\n2\n");
    EXPECT_EQ(generator::readNumber(answers.input, 2, 1, 5), 1);
    EXPECT_EQ(generator::readNumber(answers.input, 2, 1, 5), 2);
}

TEST(ReadNumber, BlankLineIsZeroWhenTheDefaultIsOutsideTheRange) {
    Answers refused("\n22000\n");
    EXPECT_EQ(generator::readNumber(refused.input, 21000, 24000, 20000), 22000);
    Answers taken("\n");
    EXPECT_EQ(generator::readNumber(taken.input, 0, 10, 20), 0);
}

TEST(ReadNumber, EndOfInputTakesTheDefaultOnlyWhenAllowed) {
    Answers allowed("");
    EXPECT_EQ(generator::readNumber(allowed.input, 8000, 96000, 48000), 48000);
    Answers refused("5\n");
    EXPECT_EQ(generator::readNumber(refused.input, 21000, 24000, 20000), std::nullopt);
}

TEST(ReadNumber, JudgesOnlyTheFirstNineteenCharacters) {
    // 18 zeros, then 1, then digits beyond the cut.
    const std::string line = std::string(18, '0') + "1234\n";
    Answers piped(line);
    EXPECT_EQ(generator::readNumber(piped.input, 0, 10000, 5), 1);
    EXPECT_EQ(generator::readNumber(piped.input, 0, 10000, 5), 234);  // a pipe continues where the read stopped

    Answers terminal(line + "7\n", true);
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10000, 5), 1);
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10000, 5), 7);  // the rest of the typed line is gone
}

TEST(ReadNumber, TerminalNeverThrowsAwayAWholeNewLine) {
    Answers terminal("5\n7\n", true);
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10, 1), 5);
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10, 1), 7);
}

TEST(ReadNumber, TerminalKnowsWhereALineWithANulCharacterEnded) {
    Answers terminal(std::string("\0\n7\n", 4), true);
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10, 5), 5);  // the NUL ends the text: blank
    EXPECT_EQ(generator::readNumber(terminal.input, 0, 10, 5), 7);
}

TEST(ReadYesNo, FirstLetterDecidesInEitherCase) {
    Answers answers("Yes\nn\nY\nNo\n");
    EXPECT_TRUE(generator::readYesNo(answers.input));
    EXPECT_EQ(answers.in.rest(), "es\nn\nY\nNo\n");
}

TEST(ReadYesNo, PipedInputSkipsOtherCharactersOneByOne) {
    Answers answers("\n x n");
    EXPECT_FALSE(generator::readYesNo(answers.input));
    Answers yes("maybe\ny\n");
    EXPECT_TRUE(generator::readYesNo(yes.input));  // the "y" of "maybe" counts on a pipe
}

TEST(ReadYesNo, TerminalLooksOnlyAtTheFirstCharacterOfEachLine) {
    Answers answers(" y\nmaybe\n\nyes\n", true);
    EXPECT_TRUE(generator::readYesNo(answers.input));
    EXPECT_EQ(answers.in.rest(), "es\n");
    Answers no("always\nnope\n", true);
    EXPECT_FALSE(generator::readYesNo(no.input));
}

TEST(ReadYesNo, EndOfInputAnswersNo) {
    Answers answers("\n\nabc");
    EXPECT_FALSE(generator::readYesNo(answers.input));
}

TEST(ReadYesNo, TerminalDropsTheRestOfTheLineBeforeTheNextNumber) {
    Answers terminal("y extra\n\n", true);
    EXPECT_TRUE(generator::readYesNo(terminal.input));
    EXPECT_EQ(generator::readNumber(terminal.input, 10, 100, 90), 90);

    Answers piped("y extra\n\n");
    EXPECT_TRUE(generator::readYesNo(piped.input));
    EXPECT_EQ(generator::readNumber(piped.input, 10, 100, 90), 90);  // " extra" is 0, refused; then the blank line
    EXPECT_EQ(piped.in.rest(), "");
}

TEST(IsBlankLine, OnlySpacesTabsAndLineEnds) {
    EXPECT_TRUE(generator::isBlankLine(""));
    EXPECT_TRUE(generator::isBlankLine(" \t\r\n"));
    EXPECT_FALSE(generator::isBlankLine(" x\n"));
    EXPECT_FALSE(generator::isBlankLine("\v"));
}

}  // namespace
}  // namespace auralyn
