#include "generator/parameter_dialogue.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_stream.h"
#include "sweep_settings_check.h"
#include "sweep_test_plans.h"

namespace auralyn {
namespace {

using test::ScratchStream;

// One run of the dialogue on a fresh plan with scripted answers.
struct Dialogue {
    ScratchStream in;
    ScratchStream out;
    generator::ConsoleInput input;
    sweep::SweepPlan plan;
    bool completed = false;

    explicit Dialogue(const std::string& answers, bool terminal = false) : in(answers) {
        input.in = in.get();
        input.out = out.get();
        input.interactive = terminal;
        completed = generator::askSweepParameters(plan, input);
    }
    const sweep::SweepParameters& p() const { return plan.params(); }
};

// Empty answers for questions 1 to 8.
const std::string kEightDefaults(8, '\n');

void expectDefaultValues(const sweep::SweepParameters& p) {
    test::expectSameSettings(p, test::dialogueDefaults());
}

const char* const kDefaultTranscript =
    "\nEnter the parameters for this frequency sweep. For any values you do not"
    "\ncare about, just press Enter to accept the default.\n"
    "\nEnter output sampling rate in Hz (between 8000 and 96000; default=48000): "
    "\nSelect sweep type: 1) Octave or 2) Linear (default=Octave): "
    "\nEnter the starting frequency of the sweep in Hz (default=20): "
    "\nEnter the end frequency of the sweep in Hz. The maximum frequency must be"
    "\nat least the starting frequency and less than half the sampling rate."
    "\nEnter the end frequency (between 20 and 24000; default=20000): "
    "\nEnter the number of tones to play per octave (default=24): "
    "\nEnter the minimum duration for each tone in seconds (default=0.02): "
    "\nEnter the time between tones (in seconds) needed for each tone to stabilize."
    "\n Recommended settings:"
    "\n  Speakers:       at least 0.040 seconds"
    "\n  High-quality headphones: 0.025 seconds"
    "\n  Electronic circuits:     0.005 seconds"
    "\n Enter settling time (between 0 and 1; default=0.04): "
    "\nEnter the number of tones to be played following each synchronization pulse."
    "\nThe default, 0, will generate only one synchronization pulse,\nat the beginning. "
    "\nDo you want to edit the advanced options? (y/n) ";

const char* const kAdvancedTranscript =
    "\nEnter the amplitude of the synchronization pulse as a percent of the maximum"
    "\nvolume (between 10 and 100; default=90): "
    "\nEnter the minimum number of cycles to play of any frequency (this helps ensure"
    "\nthat enough data is collected for the low frequencies)."
    "\nMinimum number of cycles (between 0 and 200; default=10): "
    "\nEnter the maximum allowable fractional cycle. This is an error-control value."
    "\nA value of 1 will work in general, but use values of 0.1 or less to reduce"
    "\nerror. Enter maximum fractional cycle (between 0.00 and 1.0; default=1.0): "
    "\nEnter the maximum number of extra samples to be added to each tone in order"
    "\nto control error. Larger values will result in larger wave files but possibly"
    "\nhigher accuracy."
    "\nEnter the maximum number of samples (between 0 and 3000; default=400): "
    "\nEnter the maximum expected drift (in seconds) due to unequal sampling rates"
    "\nbetween the tone source and recorder (between 0 and 1; default=0.0002): ";

TEST(DialogueDefaults, EmptyAnswersAndNoGiveTheDefaults) {
    Dialogue d(kEightDefaults + "n\n");
    ASSERT_TRUE(d.completed);
    expectDefaultValues(d.p());
    EXPECT_EQ(d.out.text(), kDefaultTranscript);
}

TEST(DialogueDefaults, YesThenEmptyAnswersStoresTheSameValues) {
    Dialogue piped(kEightDefaults + "y\n\n\n\n\n");
    ASSERT_TRUE(piped.completed);
    expectDefaultValues(piped.p());
    EXPECT_EQ(piped.out.text(), std::string(kDefaultTranscript) + kAdvancedTranscript);

    Dialogue terminal(kEightDefaults + "y\n\n\n\n\n\n", true);
    ASSERT_TRUE(terminal.completed);
    expectDefaultValues(terminal.p());
}

TEST(DialogueDefaults, EndOfInputTakesEveryDefaultAndNo) {
    Dialogue d("");
    ASSERT_TRUE(d.completed);
    expectDefaultValues(d.p());
}

TEST(DialogueDefaults, PlanFromAnswersStoresWhatTheDialogueStores) {
    expectDefaultValues(generator::planFromAnswers({}).params());

    Dialogue d("44100\n2\n100\n5000\n50\n0.1\n0.01\n3\nn\n");
    ASSERT_TRUE(d.completed);
    const generator::SweepAnswers answers{.sampleRate = 44100, .octaveSweep = 0, .startFrequency = 100,
                                          .endFrequency = 5000, .frequencyStep = 50, .minToneDuration = 0.1,
                                          .settlingTime = 0.01, .tonesPerSyncPulse = 3};
    const sweep::SweepParameters p = generator::planFromAnswers(answers).params();
    const sweep::SweepParameters& asked = d.p();
    EXPECT_EQ(p.sampleRate, asked.sampleRate);
    EXPECT_EQ(p.octaveSweep, asked.octaveSweep);
    EXPECT_EQ(p.startFrequency, asked.startFrequency);
    EXPECT_EQ(p.endFrequency, asked.endFrequency);
    EXPECT_EQ(p.frequencyStep, asked.frequencyStep);
    EXPECT_EQ(p.minToneDuration, asked.minToneDuration);
    EXPECT_EQ(p.settlingTime, asked.settlingTime);
    EXPECT_EQ(p.tonesPerSyncPulse, asked.tonesPerSyncPulse);
    EXPECT_EQ(p.maxExtraSamples, asked.maxExtraSamples);
    EXPECT_EQ(p.syncThreshold, asked.syncThreshold);
    EXPECT_FALSE(p.locked);
}

TEST(DialogueDefaults, RunTimeFieldsComeFromTheStepQuestionsRewind) {
    // Question 5 rewinds while the minimum tone duration is still 0: 10 cycles of 20 Hz.
    Dialogue d(kEightDefaults + "n\n");
    EXPECT_EQ(d.p().toneIndex, 0u);
    EXPECT_EQ(d.p().toneFrequency, 20.0);
    EXPECT_EQ(d.p().toneLength, 24000);
}

TEST(DialogueRanges, SamplingRate8000LimitsTheFrequenciesTo4000) {
    Dialogue d("8000\n\n4001\n4000\n\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().startFrequency, 4000.0);
    EXPECT_EQ(d.p().endFrequency, 4000.0);
    EXPECT_NE(d.out.text().find("(between 4000 and 4000; default=4000): "), std::string::npos);

    Dialogue defaults("8000\n");
    EXPECT_EQ(defaults.p().endFrequency, 4000.0);
    EXPECT_NE(defaults.out.text().find("(between 20 and 4000; default=4000): "), std::string::npos);
}

TEST(DialogueRanges, SamplingRate44100KeepsTheEndDefaultBelowItsBound) {
    Dialogue d("44100\n\n\n22051\n22050\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().endFrequency, 22050.0);
    EXPECT_NE(d.out.text().find("(between 20 and 22050; default=20000): "), std::string::npos);
    Dialogue defaults("44100\n");
    EXPECT_EQ(defaults.p().endFrequency, 20000.0);
}

TEST(DialogueRanges, StartAbove20000RefusesAnEmptyEndAnswer) {
    Dialogue d("\n\n21000\n\n20000\n23000\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().startFrequency, 21000.0);
    EXPECT_EQ(d.p().endFrequency, 23000.0);
    EXPECT_NE(d.out.text().find("(between 21000 and 24000; default=20000): "), std::string::npos);
}

TEST(DialogueRanges, EndOfInputAtAQuestionWithoutAcceptableDefaultFails) {
    Dialogue d("\n\n21000\n\n");
    EXPECT_FALSE(d.completed);
    EXPECT_EQ(d.out.text().find("Do you want to edit"), std::string::npos);
}

TEST(DialogueRanges, BoundsThemselvesAreTaken) {
    Dialogue d("96000\n\n0.1\n48000\n5000\n1000\n1\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().sampleRate, 96000u);
    EXPECT_EQ(d.p().startFrequency, 0.1);
    EXPECT_EQ(d.p().endFrequency, 48000.0);
    EXPECT_EQ(d.p().frequencyStep, 5000.0);
    EXPECT_EQ(d.p().minToneDuration, 1000.0);
    EXPECT_EQ(d.p().settlingTime, 1.0);

    Dialogue low("8000\n\n0.09\n0.1\n0.1\n0.09\n0.1\n0\n0\n");
    ASSERT_TRUE(low.completed);
    EXPECT_EQ(low.p().sampleRate, 8000u);
    EXPECT_EQ(low.p().endFrequency, 0.1);
    EXPECT_EQ(low.p().frequencyStep, 0.1);
    EXPECT_EQ(low.p().minToneDuration, 0.0);
}

TEST(DialogueRanges, SampleRateIsTruncatedAndTextWithUnitsTaken) {
    Dialogue d("abc\n44100.9\n");
    EXPECT_EQ(d.p().sampleRate, 44100u);
    Dialogue units("48000Hz\n");
    EXPECT_EQ(units.p().sampleRate, 48000u);
}

TEST(DialogueSweepType, OneOrOnePointFiveOrEmptyChooseOctaves) {
    for (const char* answer : {"1\n", "1.5\n", "\n"}) {
        Dialogue d(std::string("\n") + answer);
        EXPECT_EQ(d.p().octaveSweep, 1) << answer;
        EXPECT_EQ(d.p().frequencyStep, 24.0) << answer;
    }
}

TEST(DialogueSweepType, TwoChoosesLinearSpacingAfterRefusedAnswers) {
    Dialogue d("\n0\n3\nabc\n2\n\n\n\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().octaveSweep, 0);
    EXPECT_EQ(d.p().frequencyStep, 10.0);
    EXPECT_NE(d.out.text().find("\nEnter the frequency step in Hz from one tone to the next (default=10): "),
              std::string::npos);
    EXPECT_EQ(d.out.text().find("tones to play per octave"), std::string::npos);
}

TEST(DialogueTonesPerPulse, TextIsZeroAndAnswersAbove32BitsAreRefused) {
    Dialogue text("\n\n\n\n\n\n\nabc\n");
    EXPECT_EQ(text.p().tonesPerSyncPulse, 0u);

    Dialogue big(std::string(7, '\n') + "4294967296\n4294967295.5\n10000000000\n4294967295\n");
    EXPECT_EQ(big.p().tonesPerSyncPulse, 4294967295u);

    Dialogue fraction(std::string(7, '\n') + "5.9\n");
    EXPECT_EQ(fraction.p().tonesPerSyncPulse, 5u);
}

TEST(DialogueAdvanced, AnswersReachTheirFields) {
    Dialogue d(kEightDefaults + "y\n50\n20.7\n0.1\n3000\n0.001\n", true);
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().syncPulseLevel, 50.0);
    EXPECT_EQ(d.p().minCyclesPerTone, 20u);
    EXPECT_EQ(d.p().maxFractionalCycle, 0.1);
    EXPECT_EQ(d.p().maxExtraSamples, 3000u);
    EXPECT_EQ(d.p().maxTimeDrift, 0.001);
    EXPECT_EQ(d.p().syncThreshold, 15.0);
}

TEST(DialogueAdvanced, PipedAnswersFollowTheYesCharacter) {
    // The line end after a piped "y" answers the first advanced question.
    Dialogue d(kEightDefaults + "y\n50\n20.7\n0.1\n3000\n");
    ASSERT_TRUE(d.completed);
    EXPECT_EQ(d.p().syncPulseLevel, 90.0);
    EXPECT_EQ(d.p().minCyclesPerTone, 50u);
    EXPECT_EQ(d.p().maxFractionalCycle, 0.1);  // 20.7 is refused
    EXPECT_EQ(d.p().maxExtraSamples, 3000u);
    EXPECT_EQ(d.p().maxTimeDrift, 0.0002);     // end of input takes the default
}

TEST(DialogueAdvanced, PipedYesLeavesTheRestOfItsLineAsTheNextAnswer) {
    Dialogue piped(kEightDefaults + "y 55\n");
    EXPECT_EQ(piped.p().syncPulseLevel, 55.0);
    Dialogue terminal(kEightDefaults + "y 55\n60\n", true);
    EXPECT_EQ(terminal.p().syncPulseLevel, 60.0);
}

TEST(DialogueAdvanced, APulseBelowTheThresholdIsKeptWithAWarning) {
    const std::string warning =
        "\nWarning: A synchronization pulse below the 15 % threshold cannot be found, so this sweep will not "
        "measure.";
    const std::string question = "\nvolume (between 10 and 100; default=90): ";
    for (const char* level : {"10", "14.99"}) {
        Dialogue d(kEightDefaults + "y\n" + level + "\n\n\n\n\n", true);
        ASSERT_TRUE(d.completed);
        EXPECT_EQ(d.p().syncPulseLevel, std::stod(level));
        const std::string text = d.out.text();
        EXPECT_NE(text.find(question + warning + "\nEnter the minimum number of cycles"), std::string::npos) << level;
    }
    for (const char* level : {"15", "90", ""}) {
        Dialogue d(kEightDefaults + "y\n" + level + "\n\n\n\n\n", true);
        EXPECT_EQ(d.out.text().find("Warning"), std::string::npos) << level;
    }
    Dialogue refused(kEightDefaults + "y\n9\n12\n", true);
    EXPECT_EQ(refused.p().syncPulseLevel, 12.0);
    EXPECT_NE(refused.out.text().find(warning), std::string::npos);
}

}  // namespace
}  // namespace auralyn
