#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "wave/wave_file.h"
#include "wave_bytes.h"

namespace auralyn {
namespace {

using test::Bytes;

class WaveHostileTest : public ::testing::Test {
protected:
    std::string writeFile(const Bytes& bytes) {
        const std::string path = dir_.file("hostile.wav");
        test::writeFileBytes(path, bytes);
        return path;
    }

    test::TempDir dir_;
    wave::WaveFile wave_;
};

TEST_F(WaveHostileTest, FormatChunkClaimingMoreThanTheFileFailsWithoutAllocating) {
    for (std::uint32_t sizeField : {0x7FFFFFF0u, 0x100000u, 17u}) {
        const Bytes bytes = test::riff(test::chunkWithSizeField("fmt ", sizeField, test::pcmFormat(1, 8000, 16)));
        EXPECT_FALSE(wave_.openRead(writeFile(bytes).c_str())) << sizeField;
        EXPECT_STREQ(wave_.message, "Error reading format chunk");
    }
}

TEST_F(WaveHostileTest, NegativeChunkSizesEndTheSearchForData) {
    const Bytes bytes = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                 test::chunkWithSizeField("junk", 0xFFFFFFF8u, Bytes{}),
                                                 test::chunk("data", test::samples({1}))}));
    EXPECT_FALSE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_STREQ(wave_.message, "Couldn't find data chunk");

    const Bytes negativeData = test::riff(test::concat({test::chunk("fmt ", test::pcmFormat(1, 8000, 16)),
                                                        test::chunkWithSizeField("data", 0xFFFFFFFFu, Bytes{1, 2})}));
    EXPECT_FALSE(wave_.openRead(writeFile(negativeData).c_str()));
    EXPECT_STREQ(wave_.message, "Couldn't find data chunk");
}

TEST_F(WaveHostileTest, NegativeFormatChunkSizeIsNotFound) {
    const Bytes bytes = test::riff(test::concat({test::chunkWithSizeField("fmt ", 0x80000000u, test::pcmFormat(1, 8000, 16)),
                                                 test::chunk("data", test::samples({1}))}));
    EXPECT_FALSE(wave_.openRead(writeFile(bytes).c_str()));
    EXPECT_STREQ(wave_.message, "Couldn't find RIFF, WAVE, or fmt");
}

TEST_F(WaveHostileTest, SkipRefusesNegativeAndOverflowingCounts) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::canonicalWave(2, 8000, {1, 2, 3, 4, 5, 6})).c_str()));
    EXPECT_FALSE(wave_.skipSamples(-1));
    EXPECT_FALSE(wave_.skipSamples(std::numeric_limits<std::int32_t>::min()));
    EXPECT_FALSE(wave_.skipSamples(std::numeric_limits<std::int32_t>::max()));
    // 0x40000000 frames of 4 bytes wrap to 0 in 32 bits: refused, not taken as no move.
    EXPECT_FALSE(wave_.skipSamples(0x40000000));
    std::int16_t value = 0;
    ASSERT_TRUE(wave_.readSample(&value));
    EXPECT_EQ(value, 1);
}

TEST_F(WaveHostileTest, NeverFinalisedFileWithoutSamplesRefusesEverySkip) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::canonicalWave(2, 8000, {})).c_str()));
    ASSERT_EQ(wave_.dataSize, 0u);
    // The file's end bounds a data size of 0: no frame lies beyond any skip.
    EXPECT_FALSE(wave_.skipSamples(0x3FFFFFFF));
    EXPECT_FALSE(wave_.skipSamples(1));
    EXPECT_FALSE(wave_.skipSamples(0));
}

TEST_F(WaveHostileTest, ReadSamplesRefusesNegativeCountsAndStopsAtTheFileEnd) {
    ASSERT_TRUE(wave_.openRead(writeFile(test::canonicalWave(1, 8000, {1, 2})).c_str()));
    std::array<std::int16_t, 4> block{};
    EXPECT_FALSE(wave_.readSamples(block.data(), -1));
    EXPECT_STREQ(wave_.message, "Couldn't read samples");
    EXPECT_FALSE(wave_.readSamples(block.data(), std::numeric_limits<std::int32_t>::min()));

    // 65535 channels: frames x channels x 2 passes 32 bits; a block longer than
    // the samples left is refused before anything is read.
    Bytes wide = test::canonicalWave(1, 8000, {1, 2});
    wide[22] = 0xFF;
    wide[23] = 0xFF;
    ASSERT_TRUE(wave_.openRead(writeFile(wide).c_str()));
    ASSERT_EQ(wave_.channels, 65535);
    EXPECT_FALSE(wave_.readSamples(block.data(), std::numeric_limits<std::int32_t>::max()));
    EXPECT_EQ(block[1], 0);
}

TEST_F(WaveHostileTest, ZeroChannelsAndZeroAlignReadAndSkipNothing) {
    Bytes bytes = test::canonicalWave(1, 8000, {1, 2});
    bytes[22] = 0;  // channels
    bytes[32] = 0;  // block align
    ASSERT_TRUE(wave_.openRead(writeFile(bytes).c_str()));
    std::array<std::int16_t, 2> block{};
    EXPECT_TRUE(wave_.readSamples(block.data(), 1000));
    EXPECT_TRUE(wave_.skipSamples(1000));
    std::int16_t value = 0;
    ASSERT_TRUE(wave_.readSample(&value));
    EXPECT_EQ(value, 1);
    EXPECT_FALSE(wave_.readSamples(nullptr, -5));
}

TEST_F(WaveHostileTest, RootSizesOutsideTheSignedRangeFindNothing) {
    for (std::uint32_t sizeField : {0xFFFFFFFFu, 0x80000000u, 2u}) {
        Bytes bytes = test::canonicalWave(1, 8000, {1});
        bytes[4] = static_cast<std::uint8_t>(sizeField);
        bytes[5] = static_cast<std::uint8_t>(sizeField >> 8);
        bytes[6] = static_cast<std::uint8_t>(sizeField >> 16);
        bytes[7] = static_cast<std::uint8_t>(sizeField >> 24);
        EXPECT_FALSE(wave_.openRead(writeFile(bytes).c_str())) << sizeField;
        EXPECT_STREQ(wave_.message, "Couldn't find RIFF, WAVE, or fmt");
    }
}

TEST_F(WaveHostileTest, NullArgumentsAreRefused) {
    EXPECT_FALSE(wave_.openRead(nullptr));
    EXPECT_STREQ(wave_.message, "Couldn't open file");
    EXPECT_FALSE(wave_.openWrite(nullptr));
    EXPECT_STREQ(wave_.message, "Couldn't open output file");
    ASSERT_TRUE(wave_.openRead(writeFile(test::canonicalWave(1, 8000, {1})).c_str()));
    EXPECT_FALSE(wave_.readSample(nullptr));
    EXPECT_FALSE(wave_.readSamples(nullptr, 1));
}

TEST_F(WaveHostileTest, DirectoryNameFailsToOpen) {
    EXPECT_FALSE(wave_.openRead(dir_.path().string().c_str()));
    EXPECT_STREQ(wave_.message, "Couldn't open file");
}

}  // namespace
}  // namespace auralyn
