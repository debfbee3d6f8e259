#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "wave/wave_file.h"
#include "test_files.h"
#include "wave_bytes.h"
#include "wave_folder_test.h"

namespace auralyn {
namespace {

using test::Bytes;

class WaveReadTest : public test::WaveFolderTest {
protected:
    std::int16_t nextSample() {
        std::int16_t value = 0;
        EXPECT_TRUE(wave_.readSample(&value));
        return value;
    }
};

TEST_F(WaveReadTest, CanonicalFileGivesFormatAndSamples) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes({1, -2, 32767, -32768}, 48000)).c_str()));
    EXPECT_TRUE(wave_.isReading());
    EXPECT_EQ(wave_.formatTag, 1);
    EXPECT_EQ(wave_.channels, 1);
    EXPECT_EQ(wave_.sampleRate, 48000u);
    EXPECT_EQ(wave_.byteRate, 96000u);
    EXPECT_EQ(wave_.blockAlign, 2);
    EXPECT_EQ(wave_.bitsPerSample, 16);
    EXPECT_EQ(wave_.dataSize, 8u);
    EXPECT_EQ(wave_.dataStart, 44u);
    EXPECT_EQ(nextSample(), 1);
    EXPECT_EQ(nextSample(), -2);
    EXPECT_EQ(nextSample(), 32767);
    EXPECT_EQ(nextSample(), -32768);
    EXPECT_EQ(wave_.message, nullptr);
}

TEST_F(WaveReadTest, UnusualLayoutsOpenWithDataStartOnFirstSample) {
    const Bytes fmt = test::chunk("fmt ", test::pcmFormat(1, 8000, 16));
    const Bytes data = test::chunk("data", test::samples({7, 8}));
    const Bytes list = test::listChunk("INFO", test::chunk("ICMT", Bytes{'h', 'i'}));
    const Bytes odd = test::chunk("odd ", Bytes{1, 2, 3});
    Bytes extended = test::pcmFormat(1, 8000, 16);
    test::appendU16(extended, 0);  // extension size, ignored
    struct Layout {
        Bytes file;
        std::uint32_t dataStart;
    };
    const std::array<Layout, 4> layouts = {{
        {test::riff(test::concat({data, fmt})), 20},
        {test::riff(test::concat({fmt, list, data})), 36 + 22 + 8},
        {test::riff(test::concat({fmt, odd, data})), 36 + 12 + 8},
        {test::riff(test::concat({test::chunk("fmt ", extended), data})), 12 + 26 + 8},
    }};
    for (const Layout& layout : layouts) {
        ASSERT_TRUE(wave_.openRead(writeFile(layout.file).c_str()));
        EXPECT_EQ(wave_.dataStart, layout.dataStart);
        EXPECT_EQ(wave_.dataSize, 4u);
        EXPECT_EQ(wave_.sampleRate, 8000u);
        EXPECT_EQ(nextSample(), 7);
        EXPECT_EQ(nextSample(), 8);
    }
}

TEST_F(WaveReadTest, NeverFinalisedHeaderStillReadsToTheEnd) {
    Bytes bytes = test::waveBytes({}, 8000);
    ASSERT_EQ(test::loadU32(bytes, 4), 36u);
    const Bytes tail = test::samples({11, 12, 13});
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_EQ(wave_.dataSize, 0u);
    EXPECT_EQ(wave_.dataStart, 44u);
    EXPECT_TRUE(wave_.skipSamples(1));  // a size of 0 bounds nothing
    std::array<std::int16_t, 2> block{};
    ASSERT_TRUE(wave_.readSamples(block.data(), 2));
    EXPECT_EQ(block[0], 12);
    EXPECT_EQ(block[1], 13);
    std::int16_t value = 0;
    EXPECT_FALSE(wave_.readSample(&value));
    EXPECT_STREQ(wave_.message, "Couldn't read samples");
}

TEST_F(WaveReadTest, TwoChannelsAlternateAndFramesCountBothChannels) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes({1, -1, 2, -2, 3, -3, 4, -4}, 8000, 2)).c_str()));
    EXPECT_EQ(wave_.blockAlign, 4);
    EXPECT_EQ(nextSample(), 1);
    EXPECT_EQ(nextSample(), -1);
    ASSERT_TRUE(wave_.openRead(dir_.file("in.wav").c_str()));
    std::array<std::int16_t, 8> block{};
    ASSERT_TRUE(wave_.readSamples(block.data(), 3));  // 12 bytes
    EXPECT_EQ(block[5], -3);
    EXPECT_EQ(block[6], 0);
    EXPECT_EQ(nextSample(), 4);
}

TEST_F(WaveReadTest, ReadsAndSkipsStopAtTheEndOfTheDataChunk) {
    // A LIST chunk after the samples is metadata, not audio.
    const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                 test::chunk("data", test::samples({1, 2, 3})),
                                                 test::listChunk("INFO", test::chunk("ISFT", test::samples({9, 9})))}));
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    std::array<std::int16_t, 7> block{};
    EXPECT_TRUE(wave_.readSamples(block.data(), 0));
    EXPECT_EQ(wave_.remainingFrames(), 3);
    EXPECT_FALSE(wave_.skipSamples(3));
    EXPECT_TRUE(wave_.skipSamples(2));
    EXPECT_EQ(wave_.remainingFrames(), 1);
    EXPECT_FALSE(wave_.readSamples(block.data(), 2));
    EXPECT_STREQ(wave_.message, "Couldn't read samples");
    EXPECT_EQ(nextSample(), 3);
    EXPECT_FALSE(wave_.readSample(block.data()));
}

TEST_F(WaveReadTest, SamplesBeyondASmallDataSizeAreNotRead) {
    const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                 test::chunkWithSizeField("data", 2, test::samples({1, 2, 3}))}));
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_EQ(nextSample(), 1);
    std::int16_t sample = 0;
    EXPECT_FALSE(wave_.readSample(&sample));
}

TEST_F(WaveReadTest, AnUnfinishedOrOversizedDataChunkEndsWithTheFile) {
    for (const std::uint32_t size : {0u, 1000u}) {
        const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                     test::chunkWithSizeField("data", size, test::samples({1, 2, 3}))}));
        ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str())) << size;
        EXPECT_EQ(wave_.remainingFrames(), 3) << size;
        EXPECT_TRUE(wave_.skipSamples(2)) << size;
        EXPECT_EQ(nextSample(), 3) << size;
        std::int16_t sample = 0;
        EXPECT_FALSE(wave_.readSample(&sample)) << size;
    }
}

TEST_F(WaveReadTest, NegativeSkipStepsBackWithinTheData) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes({0, 1, 2, 3, 4}, 8000)).c_str()));
    EXPECT_EQ(nextSample(), 0);
    EXPECT_EQ(nextSample(), 1);
    EXPECT_TRUE(wave_.skipSamples(-1));
    EXPECT_EQ(nextSample(), 1);
    EXPECT_FALSE(wave_.skipSamples(-3));  // before the first sample: refused, no move
    EXPECT_EQ(nextSample(), 2);
}

TEST_F(WaveReadTest, SkipStopsOneFrameBeforeTheDataEnd) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes({0, 1, 2, 3, 4}, 8000)).c_str()));
    ASSERT_EQ(wave_.dataSize, 10u);
    EXPECT_TRUE(wave_.skipSamples(4));
    EXPECT_FALSE(wave_.skipSamples(1));
    EXPECT_TRUE(wave_.skipSamples(0));
    EXPECT_EQ(nextSample(), 4);
    EXPECT_EQ(wave_.message, nullptr);  // a refused skip sets no message

    ASSERT_TRUE(wave_.openRead(dir_.file("in.wav").c_str()));
    EXPECT_FALSE(wave_.skipSamples(5));
    EXPECT_TRUE(wave_.skipSamples(2));
    EXPECT_TRUE(wave_.skipSamples(2));
    EXPECT_EQ(nextSample(), 4);
}

TEST_F(WaveReadTest, OtherSampleSizesOpenButRefuseSampleAccess) {
    const Bytes bytes = test::riff(
        test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 8)), test::chunk("data", Bytes{1, 2, 3, 4})}));
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_EQ(wave_.bitsPerSample, 8);
    EXPECT_EQ(wave_.blockAlign, 1);
    std::int16_t value = 0;
    EXPECT_FALSE(wave_.readSample(&value));
    EXPECT_STREQ(wave_.message, "Sample size mismatch");
    wave_.message = nullptr;
    EXPECT_FALSE(wave_.readSamples(&value, 1));
    EXPECT_STREQ(wave_.message, "Sample size mismatch");
    EXPECT_TRUE(wave_.skipSamples(3));  // skipping works on frames of any size
}

// Each failure of openRead, its text and the state it leaves.

struct OpenFailureCase {
    const char* name;
    Bytes file;
    const char* text;
};

std::vector<OpenFailureCase> openFailureCases() {
    const Bytes fmt = test::chunk("fmt ", test::pcmFormat(1, 8000, 16));
    const Bytes data = test::chunk("data", test::samples({1, 2}));
    Bytes notRiff = test::waveBytes({1}, 8000);
    notRiff[3] = 'X';
    Bytes shortFormat = test::pcmFormat(1, 8000, 16);
    shortFormat.resize(14);
    Bytes truncatedFormat = test::riff(fmt);
    truncatedFormat.resize(30);
    return {
        {"NotRiff", notRiff, "Couldn't open file"},
        {"ShorterThanHeader", Bytes{'R', 'I', 'F', 'F', 0, 0}, "Couldn't open file"},
        {"Empty", Bytes{}, "Couldn't open file"},
        {"NotWave", test::riff(test::concat({fmt, data}), "AVI "), "Couldn't find RIFF, WAVE, or fmt"},
        {"NoFormat", test::riff(data), "Couldn't find RIFF, WAVE, or fmt"},
        {"TwelveBytes", test::riff(Bytes{}), "Couldn't find RIFF, WAVE, or fmt"},
        {"EmptyFormat", test::riff(test::concat({test::chunk("fmt ", Bytes{}), data})), "Error reading format chunk"},
        {"ShortFormat", test::riff(test::concat({test::chunk("fmt ", shortFormat), data})), "Error reading format chunk"},
        {"TruncatedFormat", truncatedFormat, "Error reading format chunk"},
        {"NoData", test::riff(fmt), "Couldn't find data chunk"},
    };
}

TEST_F(WaveReadTest, OpenFailuresCarryTheirTextAndLeaveTheFileClosed) {
    for (const OpenFailureCase& failure : openFailureCases()) {
        wave::WaveFile wave;
        EXPECT_FALSE(wave.openRead(writeFile(failure.file).c_str())) << failure.name;
        EXPECT_STREQ(wave.message, failure.text) << failure.name;
        EXPECT_FALSE(wave.isReading()) << failure.name;
        EXPECT_FALSE(wave.skipSamples(0)) << failure.name;
    }
    wave::WaveFile missing;
    EXPECT_FALSE(missing.openRead(dir_.file("missing.wav").c_str()));
    EXPECT_STREQ(missing.message, "Couldn't open file");
}

TEST_F(WaveReadTest, FormatFieldsStayAfterAMissingDataChunk) {
    EXPECT_FALSE(wave_.openRead(writeFile(test::riff(test::chunk("fmt ", test::pcmFormat(2, 44100, 16)))).c_str()));
    EXPECT_EQ(wave_.channels, 2);
    EXPECT_EQ(wave_.sampleRate, 44100u);
    EXPECT_EQ(wave_.bitsPerSample, 16);
}

TEST_F(WaveReadTest, LaterSuccessKeepsTheLastFailureText) {
    EXPECT_FALSE(wave_.openRead(writeFile(test::riff(Bytes{}), "bad.wav").c_str()));
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes({3}, 8000)).c_str()));
    EXPECT_EQ(nextSample(), 3);
    EXPECT_STREQ(wave_.message, "Couldn't find RIFF, WAVE, or fmt");
}

// Short skips are read past, long ones sought: either way the next sample is
// the one the skip lands on, across the reader's buffers and its own pieces.
TEST_F(WaveReadTest, SkipsOfEverySizeLandOnTheirSample) {
    constexpr std::int32_t kCount = 700000;  // 1.4 MB: more than the read buffer
    std::vector<std::int16_t> values(kCount);
    const auto valueAt = [](std::int64_t i) { return static_cast<std::int16_t>((i * 40503) & 0xffff); };
    for (std::int32_t i = 0; i < kCount; ++i) values[static_cast<std::size_t>(i)] = valueAt(i);
    ASSERT_TRUE(wave_.openRead(writeFile(test::waveBytes(values, 48000)).c_str()));
    std::int64_t position = 0;
    for (std::int32_t skip : {1, 4095, 4096, 4097, 32767, 32768, 32769, 300000, 3, 250000, 16384}) {
        ASSERT_TRUE(wave_.skipSamples(skip)) << skip;
        position += skip;
        EXPECT_EQ(wave_.remainingFrames(), kCount - position) << skip;
        EXPECT_EQ(nextSample(), valueAt(position)) << skip;
        ++position;
    }
    ASSERT_TRUE(wave_.skipSamples(-5000));
    EXPECT_EQ(nextSample(), valueAt(position - 5000));
    position -= 4999;
    EXPECT_FALSE(wave_.skipSamples(static_cast<std::int32_t>(kCount - position)));  // no frame would remain
    EXPECT_TRUE(wave_.skipSamples(static_cast<std::int32_t>(kCount - position - 1)));
    EXPECT_EQ(nextSample(), valueAt(kCount - 1));
}

// A data chunk that claims more than the file holds ends at the file's end:
// a skip past it is refused without moving, one to the last sample is read past.
TEST_F(WaveReadTest, SkipsInAChunkClaimingMoreThanTheFileStopAtItsEnd) {
    std::vector<std::int16_t> values(1000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::int16_t>(i);
    const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                 test::chunkWithSizeField("data", 200000, test::samples(values))}));
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_EQ(nextSample(), 0);
    EXPECT_FALSE(wave_.skipSamples(1500));
    EXPECT_FALSE(wave_.skipSamples(999));
    EXPECT_EQ(nextSample(), 1);
    EXPECT_TRUE(wave_.skipSamples(997));
    EXPECT_EQ(nextSample(), 999);
    std::int16_t value = 0;
    EXPECT_FALSE(wave_.readSample(&value));
    EXPECT_STREQ(wave_.message, "Couldn't read samples");
}

}  // namespace
}  // namespace auralyn
