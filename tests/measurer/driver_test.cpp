#include "echoprobe/measurer_driver.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/path_names.h"

namespace auralyn {
namespace {

std::string formatErrors(std::uint16_t channels, std::int16_t bits, std::uint32_t rate, bool* passed = nullptr) {
    sweep::SweepParameters p;
    p.sampleRate = 48000;
    wave::WaveFile recording;
    recording.channels = channels;
    recording.bitsPerSample = bits;
    recording.sampleRate = rate;
    testing::internal::CaptureStdout();
    const bool ok = echoprobe::checkFormat(sweep::SweepPlan(p), recording);
    if (passed != nullptr) *passed = ok;
    return testing::internal::GetCapturedStdout();
}

const std::string kMonoError = "\nError: Please only use input wave files with one channel (mono).";
const std::string kBitsError = "\nError: Please only use input wave files with 16-bit samples.";

TEST(FormatCheck, MonoSixteenBitAtTheSweepRatePasses) {
    bool passed = false;
    EXPECT_EQ(formatErrors(1, 16, 48000, &passed), "");
    EXPECT_TRUE(passed);
}

TEST(FormatCheck, ChannelsAreCheckedFirstThenBitsThenRate) {
    bool passed = true;
    EXPECT_EQ(formatErrors(2, 16, 48000, &passed), kMonoError);
    EXPECT_FALSE(passed);
    EXPECT_EQ(formatErrors(2, 8, 44100), kMonoError);
    EXPECT_EQ(formatErrors(1, 8, 44100), kBitsError);
    EXPECT_EQ(formatErrors(1, 24, 48000), kBitsError);
    EXPECT_EQ(formatErrors(1, 16, 44100, &passed),
              "\nError: The input wave file's sampling rate is not the same as the"
              "\nsampling rate of the original tone sweep. The sampling rate"
              "\nshould be 48000 Hz.");
    EXPECT_FALSE(passed);
}

platform::RecordingName nameOf(const std::string& path) {
    const platform::PathOffsets offsets = platform::pathOffsets(path);
    return platform::recordingName(path, offsets.file, offsets.extension);
}

TEST(RecordingNames, ReportShowsTheFileNameAndTheProposalDropsTheLastExtension) {
    EXPECT_EQ(nameOf("/data/takes/rec.take1.wav").fileName, "rec.take1.wav");
    EXPECT_EQ(nameOf("/data/takes/rec.take1.wav").baseName, "rec.take1");
    EXPECT_EQ(nameOf("rec").fileName, "rec");
    EXPECT_EQ(nameOf("rec").baseName, "rec");
    EXPECT_EQ(nameOf("music.d/rec").baseName, "rec");
    EXPECT_EQ(nameOf("speaker.wav").baseName, "speaker");
}

}  // namespace
}  // namespace auralyn
