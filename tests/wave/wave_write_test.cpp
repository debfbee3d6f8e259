#include <gtest/gtest.h>

#include <filesystem>

#include "wave/wave_file.h"
#include "wave_bytes.h"

namespace auralyn {
namespace {

using test::Bytes;

Bytes headerBytes(std::uint32_t riffSize, std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                  std::uint32_t byteRate, std::uint16_t align, std::uint16_t bits, std::uint32_t dataSize) {
    Bytes out;
    test::appendText(out, "RIFF");
    test::appendU32(out, riffSize);
    test::appendText(out, "WAVEfmt ");
    test::appendU32(out, 16);
    test::appendU16(out, tag);
    test::appendU16(out, channels);
    test::appendU32(out, rate);
    test::appendU32(out, byteRate);
    test::appendU16(out, align);
    test::appendU16(out, bits);
    test::appendText(out, "data");
    test::appendU32(out, dataSize);
    return out;
}

class WaveWriteTest : public ::testing::Test {
protected:
    std::string path() const { return dir_.file("out.wav"); }

    test::TempDir dir_;
};

TEST_F(WaveWriteTest, ProvisionalHeaderOnlyIsAllZeroFormat) {
    {
        wave::WaveFile wave;
        ASSERT_TRUE(wave.openWrite(path().c_str()));
        EXPECT_FALSE(wave.dirty);
        EXPECT_TRUE(wave.close());
    }
    EXPECT_EQ(test::readFileBytes(path()), headerBytes(36, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(WaveWriteTest, FinalHeaderCarriesFormatAndSize) {
    {
        wave::WaveFile wave;
        ASSERT_TRUE(wave.openWrite(path().c_str()));
        wave.setFormat(44100, 16, 1);
        wave.setSampleRate(48000);
        ASSERT_TRUE(wave.writeSample(1));
        ASSERT_TRUE(wave.writeSample(-2));
        ASSERT_TRUE(wave.writeSample(0x1234));
        EXPECT_EQ(wave.dataSize, 6u);
        EXPECT_TRUE(wave.dirty);
    }  // the destructor finalises the header
    Bytes expected = headerBytes(42, 1, 1, 48000, 96000, 2, 16, 6);
    for (std::uint8_t byte : {0x01, 0x00, 0xFE, 0xFF, 0x34, 0x12}) expected.push_back(byte);
    EXPECT_EQ(test::readFileBytes(path()), expected);
}

TEST_F(WaveWriteTest, WrittenFileReadsBack) {
    wave::WaveFile wave;
    ASSERT_TRUE(wave.openWrite(path().c_str()));
    wave.setFormat(8000, 16, 1);
    for (std::int16_t value : {-32767, 0, 32767}) ASSERT_TRUE(wave.writeSample(value));
    ASSERT_TRUE(wave.openRead(path().c_str()));  // closes and finalises the written file first
    EXPECT_EQ(wave.dataSize, 6u);
    EXPECT_EQ(wave.sampleRate, 8000u);
    std::int16_t values[3] = {};
    ASSERT_TRUE(wave.readSamples(values, 3));
    EXPECT_EQ(values[0], -32767);
    EXPECT_EQ(values[2], 32767);
}

TEST_F(WaveWriteTest, SetFormatDerivesAlignAndByteRate) {
    wave::WaveFile wave;
    wave.dirty = false;
    wave.dataSize = 8;
    wave.setFormat(22050, 8, 2);
    EXPECT_EQ(wave.formatTag, 1);
    EXPECT_EQ(wave.channels, 2);
    EXPECT_EQ(wave.blockAlign, 2);
    EXPECT_EQ(wave.byteRate, 44100u);
    EXPECT_EQ(wave.bitsPerSample, 8);
    EXPECT_EQ(wave.dataSize, 0u);
    EXPECT_TRUE(wave.dirty);
    wave.setFormat(22050, 12, 1);
    EXPECT_EQ(wave.blockAlign, 1);
    EXPECT_EQ(wave.byteRate, 22050u);
    wave.dirty = false;
    wave.setSampleRate(1000);
    EXPECT_EQ(wave.sampleRate, 1000u);
    EXPECT_EQ(wave.byteRate, 1000u);
    EXPECT_TRUE(wave.dirty);
}

TEST_F(WaveWriteTest, EightBitFormatRefusesSamples) {
    {
        wave::WaveFile wave;
        ASSERT_TRUE(wave.openWrite(path().c_str()));
        wave.setFormat(8000, 8, 1);
        EXPECT_FALSE(wave.writeSample(5));
        EXPECT_STREQ(wave.message, "Sample size mismatch");
        EXPECT_EQ(wave.dataSize, 0u);
    }
    EXPECT_EQ(test::readFileBytes(path()).size(), 44u);
}

TEST_F(WaveWriteTest, NothingOpenedWritesNothing) {
    {
        wave::WaveFile wave;
        EXPECT_TRUE(wave.close());
        EXPECT_TRUE(wave.dirty);
        EXPECT_EQ(wave.message, nullptr);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir_.path()));
}

TEST_F(WaveWriteTest, UncreatableFileFailsAndStaysClosed) {
    wave::WaveFile wave;
    EXPECT_FALSE(wave.openWrite(dir_.file("no/such/folder.wav").c_str()));
    EXPECT_STREQ(wave.message, "Couldn't open output file");
    EXPECT_FALSE(wave.isWriting());
    EXPECT_TRUE(wave.close());
}

// The RIFF size field holds data size + 36: the write that would pass it fails.
TEST_F(WaveWriteTest, DataStopsWhereTheRiffSizeFieldEnds) {
    {
        wave::WaveFile wave;
        ASSERT_TRUE(wave.openWrite(path().c_str()));
        wave.setFormat(8000, 16, 1);
        wave.dataSize = 0xFFFFFFFFu - 36 - 3;
        EXPECT_TRUE(wave.writeSample(1));
        EXPECT_EQ(wave.dataSize, 0xFFFFFFFFu - 37);
        EXPECT_FALSE(wave.writeSample(2));
        EXPECT_STREQ(wave.message, "Couldn't write samples");
        EXPECT_EQ(wave.dataSize, 0xFFFFFFFFu - 37);
    }
    const Bytes bytes = test::readFileBytes(path());
    ASSERT_EQ(bytes.size(), 46u);
    EXPECT_EQ(test::loadU32(bytes, 4), 0xFFFFFFFEu);
}

TEST_F(WaveWriteTest, FailedFinalWriteIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    wave::WaveFile samplesLost;
    ASSERT_TRUE(samplesLost.openWrite("/dev/full"));  // buffered: the disk is not touched yet
    samplesLost.setFormat(8000, 16, 1);
    ASSERT_TRUE(samplesLost.writeSample(1));
    EXPECT_FALSE(samplesLost.close());
    EXPECT_STREQ(samplesLost.message, "Couldn't write samples");
    EXPECT_FALSE(samplesLost.isWriting());

    wave::WaveFile headerLost;
    ASSERT_TRUE(headerLost.openWrite("/dev/full"));
    EXPECT_FALSE(headerLost.close());
    EXPECT_STREQ(headerLost.message, "Error writing header");
}

// Calls outside the mode they belong to are refused without touching a file.
TEST_F(WaveWriteTest, OperationsOutsideTheirModeAreRefused) {
    wave::WaveFile wave;
    wave.setFormat(8000, 16, 1);
    EXPECT_FALSE(wave.writeSample(1));
    EXPECT_STREQ(wave.message, "Couldn't write samples");
    std::int16_t value = 0;
    EXPECT_FALSE(wave.readSample(&value));
    EXPECT_STREQ(wave.message, "Couldn't read samples");
    EXPECT_FALSE(wave.readSamples(&value, 0));
    EXPECT_FALSE(wave.skipSamples(0));

    ASSERT_TRUE(wave.openWrite(path().c_str()));
    wave.setFormat(8000, 16, 1);
    EXPECT_FALSE(wave.readSample(&value));
    EXPECT_FALSE(wave.skipSamples(0));
    ASSERT_TRUE(wave.close());
    EXPECT_EQ(test::readFileBytes(path()).size(), 44u);

    test::writeFileBytes(path(), test::canonicalWave(1, 8000, {1}));
    ASSERT_TRUE(wave.openRead(path().c_str()));
    EXPECT_FALSE(wave.writeSample(2));
    EXPECT_STREQ(wave.message, "Couldn't write samples");
    EXPECT_TRUE(wave.close());
    EXPECT_EQ(test::readFileBytes(path()), test::canonicalWave(1, 8000, {1}));
}

}  // namespace
}  // namespace auralyn
