// Deeper captures written to disk and read back: every 24-bit code and every
// float survives, and sox (an independent reader) sees the format written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "recording/recording_file.h"
#include "recording/recording_writer.h"
#include "run_program.h"
#include "test_files.h"

namespace auralyn::recording {
namespace {

// Two channels in 16-bit units: 24-bit codes (multiples of 1/256), the ends
// of the range, and a value beyond full scale that 24 bits must clip.
const std::vector<float> kFrames = {0.0f,      1.0f / 256, -32768.0f, 32767.99609375f, 12345.5f,
                                    -0.00390625f, 40000.0f, -1.5f};

// kFrames written to `path` (16-bit units, so full scale is 32768) and read back.
Recording<double> writtenAndRead(const std::string& path, int channels, int rate, WrittenEncoding encoding) {
    std::string error;
    EXPECT_TRUE(writeRecordingFile(path, kFrames, channels, rate, encoding, 32768.0, error)) << error;
    return readRecording(path);
}

TEST(RecordingWriter, TwentyFourBitCodesReadBackExactlyAndClipAtFullScale) {
    const test::TempDir dir;
    const Recording<double> read = writtenAndRead(dir.file("deep.wav"), 2, 48000, WrittenEncoding::pcm24);
    EXPECT_EQ(read.format.encoding, SampleEncoding::pcm24);
    ASSERT_EQ(read.channels.size(), 2u);
    ASSERT_EQ(read.channels[0].size(), 4u);
    for (std::size_t i = 0; i < kFrames.size(); ++i) {
        const double expected = std::fmin(kFrames[i], 32767.99609375);
        EXPECT_EQ(read.channels[i % 2][i / 2] * 32768.0, expected) << i;
    }
}

TEST(RecordingWriter, FloatKeepsEverySampleBeyondFullScaleToo) {
    const test::TempDir dir;
    const Recording<double> read = writtenAndRead(dir.file("f.wav"), 1, 96000, WrittenEncoding::float32);
    EXPECT_EQ(read.format.encoding, SampleEncoding::float32);
    EXPECT_EQ(read.format.sampleRate, 96000.0);
    ASSERT_EQ(read.channels[0].size(), kFrames.size());
    for (std::size_t i = 0; i < kFrames.size(); ++i) EXPECT_FLOAT_EQ(read.channels[0][i] * 32768.0, kFrames[i]) << i;
    if (!std::filesystem::exists("/usr/bin/soxi")) GTEST_SKIP() << "soxi checks the header independently";
    const auto soxi = test::runProgram("/usr/bin/soxi", {dir.file("f.wav")}, "", dir.path().string());
    EXPECT_NE(soxi.out.find("32-bit Floating Point PCM"), std::string::npos) << soxi.out;
}

TEST(RecordingWriter, RefusesPartialFramesAndUnwritablePaths) {
    const test::TempDir dir;
    std::string error;
    EXPECT_FALSE(writeRecordingFile(dir.file("odd.wav"), {1.0f, 2.0f, 3.0f}, 2, 48000, WrittenEncoding::pcm24, 32768.0,
                                    error));
    EXPECT_FALSE(writeRecordingFile(dir.file("no/such/folder.wav"), kFrames, 2, 48000, WrittenEncoding::pcm24, 32768.0,
                                    error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace auralyn::recording
