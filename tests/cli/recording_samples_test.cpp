// The whole-file reader that `analyze` uses for 16-bit recordings, against
// the samples the test laid out byte by byte: files longer than the reader's
// chunk (read in several pieces into a buffer on large pages), short files,
// mono and stereo split into its channels.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cli/recording_samples.h"
#include "test_files.h"
#include "wave_bytes.h"

namespace auralyn::cli {
namespace {

// Samples that differ from one frame to the next and between the channels.
std::vector<std::int16_t> interleavedRamp(std::size_t frames, std::uint16_t channels) {
    std::vector<std::int16_t> values(frames * channels);
    for (std::size_t n = 0; n < values.size(); ++n)
        values[n] = static_cast<std::int16_t>(static_cast<int>((n * 7919u) % 65536u) - 32768);
    return values;
}

std::vector<std::vector<analysis::Sample>> readBack(const std::string& path, std::string& error) {
    wave::WaveFile recording;
    std::vector<std::vector<analysis::Sample>> channels;
    if (!recording.openRead(path.c_str())) {
        error = "not opened";
        return channels;
    }
    if (!readAllChannels(recording, channels, error)) channels.clear();
    return channels;
}

TEST(RecordingSamples, EverySampleOfEveryChannelInItsPlace) {
    const test::TempDir dir;
    for (const std::uint16_t channels : {1, 2}) {
        for (const std::size_t frames : {std::size_t{1}, std::size_t{1000}, (std::size_t{1} << 20) + 4097}) {
            const std::vector<std::int16_t> values = interleavedRamp(frames, channels);
            const std::string path = (dir.path() / "in.wav").string();
            test::writeFileBytes(path, test::waveBytes(values, 48000, channels));
            std::string error;
            const auto read = readBack(path, error);
            ASSERT_EQ(read.size(), channels) << error;
            for (std::uint16_t c = 0; c < channels; ++c) {
                ASSERT_EQ(read[c].size(), frames);
                std::size_t wrong = 0;
                for (std::size_t f = 0; f < frames; ++f)
                    wrong += read[c][f] != static_cast<analysis::Sample>(values[f * channels + c]) ? 1 : 0;
                EXPECT_EQ(wrong, 0u) << channels << " channels, " << frames << " frames";
            }
        }
    }
}

}  // namespace
}  // namespace auralyn::cli
