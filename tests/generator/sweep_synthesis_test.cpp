#include "generator/sweep_synthesis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "generator/parameter_dialogue.h"
#include "test_files.h"

namespace auralyn {
namespace {

using Samples = std::vector<std::int16_t>;

// The dialogue's defaults for a sweep of one tone at `frequency`.
sweep::SweepPlan singleTonePlan(std::uint32_t rate, double frequency) {
    generator::SweepAnswers answers;
    answers.sampleRate = rate;
    answers.startFrequency = frequency;
    answers.endFrequency = frequency;
    return generator::planFromAnswers(answers);
}

Samples readSamples(const std::string& path) {
    test::Bytes bytes = test::readFileBytes(path);
    Samples samples;
    for (std::size_t i = 44; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(test::loadU16(bytes, i)));
    return samples;
}

// Writes through a real wave file and reads the samples back.
class Synthesis : public testing::Test {
protected:
    Samples generate(sweep::SweepPlan plan) {
        wave::WaveFile wave;
        EXPECT_TRUE(wave.openWrite(path.c_str()));
        wave.setFormat(44100, 16, 1);
        wave.setSampleRate(plan.params().sampleRate);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(generator::generateSweep(plan, wave));
        progress = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(wave.close());
        return readSamples(path);
    }

    template <typename Write>
    Samples write(std::uint32_t rate, Write writer) {
        wave::WaveFile wave;
        EXPECT_TRUE(wave.openWrite(path.c_str()));
        wave.setFormat(rate, 16, 1);
        EXPECT_TRUE(writer(wave));
        EXPECT_TRUE(wave.close());
        return readSamples(path);
    }

    test::TempDir dir;
    std::string path = dir.file("sweep.wav");
    std::string progress;
};

bool allEqual(const Samples& s, std::size_t begin, std::size_t count, std::int16_t value) {
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(begin),
                       s.begin() + static_cast<std::ptrdiff_t>(begin + count),
                       [value](std::int16_t v) { return v == value; });
}

TEST_F(Synthesis, DefaultsAt48000GiveTheWorkedLayout) {
    Samples s = generate(singleTonePlan(48000, 20));
    // 168000 lead-in zeros, 1920 + 9 sync zeros, 9 pulse samples, then the
    // 20 Hz tone: 2400 lead + 24000 block + 2400 tail.
    ASSERT_EQ(s.size(), 168000u + 1929 + 9 + 28800);
    EXPECT_TRUE(allEqual(s, 0, 169929, 0));
    EXPECT_TRUE(allEqual(s, 169929, 9, 29490));
    const std::size_t tone = 169938;
    EXPECT_EQ(s[tone], 0);          // phase 0: one whole cycle of lead
    EXPECT_EQ(s[tone + 300], 23170);  // 32767 x sin(pi/4)
    EXPECT_EQ(s[tone + 600], 32767);
    EXPECT_EQ(s[tone + 1200], 0);
    EXPECT_EQ(s[tone + 1800], -32767);
    EXPECT_EQ(s[tone + 2400], 0);   // the measured block starts rising through zero
    EXPECT_GT(s[tone + 2401], 0);
    EXPECT_EQ(s.back(), -86);       // 32767 x sin(-2 pi / 2400) rounded away from zero
}

TEST_F(Synthesis, SamplesStayWithinPlusMinus32767) {
    Samples s = generate(singleTonePlan(48000, 20));
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 32767);
    EXPECT_EQ(*std::min_element(s.begin(), s.end()), -32767);
}

TEST_F(Synthesis, SyncPulseLengthFollowsTheSamplingRate) {
    Samples low = generate(singleTonePlan(8000, 20));
    // 28000 lead-in, 320 settling, trunc(1.6) drift zeros, a pulse of trunc(1.6) samples.
    EXPECT_TRUE(allEqual(low, 0, 28321, 0));
    EXPECT_EQ(low[28321], 29490);
    EXPECT_EQ(low[28322], 0);

    Samples high = generate(singleTonePlan(96000, 20));
    // 336000 lead-in, 3840 settling, 19 drift zeros, 19 pulse samples.
    EXPECT_TRUE(allEqual(high, 0, 339859, 0));
    EXPECT_TRUE(allEqual(high, 339859, 19, 29490));
    EXPECT_EQ(high[339878], 0);
}

TEST_F(Synthesis, ZeroSettlingAndDriftStartTheToneOnItsBlock) {
    sweep::SweepPlan plan = singleTonePlan(48000, 1000);
    plan.setSettlingTime(0);
    plan.setMaxTimeDrift(0);
    Samples s = generate(plan);
    // No settling or drift silence: 168000 zeros, the 9-sample pulse, then the block
    // of 960 samples (20 cycles) with no lead and no tail.
    ASSERT_EQ(s.size(), 168000u + 9 + 960);
    EXPECT_TRUE(allEqual(s, 168000, 9, 29490));
    EXPECT_EQ(s[168009], 0);
    EXPECT_EQ(s[168009 + 12], 32767);
    EXPECT_EQ(s[168009 + 36], -32767);
}

TEST_F(Synthesis, SyncBlocksPrecedeTheChosenTones) {
    // Linear sweep 1000, 1010, 1020 Hz; the rising zero crossing at the start of each
    // measured block lies right after its lead.
    auto sweep = [](std::uint32_t tonesPerPulse) {
        sweep::SweepPlan plan = singleTonePlan(48000, 1000);
        plan.setOctaveSweep(0);
        plan.setEndFrequency(1020);
        plan.setFrequencyStep(10);
        plan.setTonesPerSyncPulse(tonesPerPulse);
        return plan;
    };
    auto pulses = [](const Samples& s) {
        int count = 0;
        for (std::size_t i = 0; i + 9 <= s.size(); ++i)
            if (allEqual(s, i, 9, 29490) && (i == 0 || s[i - 1] == 0)) ++count;
        return count;
    };
    EXPECT_EQ(pulses(generate(sweep(1))), 3);
    EXPECT_EQ(pulses(generate(sweep(0))), 1);
    EXPECT_EQ(pulses(generate(sweep(7))), 1);
    EXPECT_EQ(pulses(generate(sweep(2))), 2);
}

TEST_F(Synthesis, ProgressShowsEachToneAndTheClosingLine) {
    generate(singleTonePlan(48000, 1000));
    EXPECT_EQ(progress, "\nGenerating tones. Percent done:\n\r0%  \r100%  \n");
}

TEST_F(Synthesis, ToneSamplesAreComputedFromTheirIndex) {
    // A quarter of the sampling rate: 0, +A, 0, -A, rounded half away from zero.
    Samples s = write(48000, [](wave::WaveFile& wave) { return generator::writeTone(12000, 0, 100, 8, wave); });
    EXPECT_EQ(s, (Samples{0, 32767, 0, -32767, 0, 32767, 0, -32767}));
    Samples half = write(48000, [](wave::WaveFile& wave) { return generator::writeTone(6000, 0, 50, 3, wave); });
    EXPECT_EQ(half, (Samples{0, 11585, 16383}));  // 16383 x sin(pi/4) = 11584.53
}

TEST_F(Synthesis, StartPhaseShiftsEverySample) {
    Samples s = write(48000, [](wave::WaveFile& wave) { return generator::writeTone(12000, -1.5707963267948966, 100, 2, wave); });
    EXPECT_EQ(s, (Samples{-32767, 0}));
}

TEST_F(Synthesis, LevelsAreRunsOfOneValue) {
    Samples s = write(48000, [](wave::WaveFile& wave) {
        return generator::writeLevel(3, 90, wave) && generator::writeLevel(0, 50, wave) && generator::writeLevel(-4, 50, wave) &&
               generator::writeLevel(2, 10, wave) && generator::writeLevel(1, 0, wave);
    });
    EXPECT_EQ(s, (Samples{29490, 29490, 29490, 3276, 3276, 0}));
    EXPECT_TRUE(write(48000, [](wave::WaveFile& wave) { return generator::writeTone(1000, 0, 100, -5, wave); }).empty());
}

TEST_F(Synthesis, WritersSkipFilesThatAreNot16Bit) {
    wave::WaveFile wave;
    ASSERT_TRUE(wave.openWrite(path.c_str()));
    wave.setFormat(48000, 8, 1);
    EXPECT_TRUE(generator::writeLevel(10, 90, wave));
    EXPECT_TRUE(generator::writeTone(1000, 0, 100, 10, wave));
    EXPECT_EQ(wave.dataSize, 0u);
}

TEST_F(Synthesis, StopsAtTheFirstSampleTheDiskRefuses) {
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full";
#endif
    wave::WaveFile wave;
    ASSERT_TRUE(wave.openWrite("/dev/full"));
    wave.setFormat(48000, 16, 1);
    EXPECT_FALSE(generator::writeLevel(100000, 0, wave));
    EXPECT_FALSE(generator::writeTone(1000, 0, 100, 100000, wave));
    sweep::SweepPlan plan = singleTonePlan(48000, 1000);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(generator::generateSweep(plan, wave));
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace auralyn
