#include "cli/recording_samples.h"

#include <algorithm>

namespace auralyn::cli {
namespace {

constexpr std::int32_t kChunkFrames = 1 << 16;

// Frames the data chunk holds within the file: a header that claims more
// (or was never finalised) allocates only what is there.
std::uint64_t framesPresent(const wave::WaveFile& recording) {
    const std::int64_t frames = recording.remainingFrames();
    return frames > 0 ? static_cast<std::uint64_t>(frames) : 0;
}

// Interleaved frames into one vector per channel, from frame `first` on.
void dealFrames(const std::vector<std::int16_t>& chunk, std::uint64_t first,
                std::vector<std::vector<analysis::Sample>>& channels) {
    const std::size_t count = channels.size();
    const std::size_t frames = chunk.size() / count;
    for (std::size_t c = 0; c < count; ++c) {
        analysis::Sample* out = channels[c].data() + first;
        for (std::size_t f = 0; f < frames; ++f) out[f] = static_cast<analysis::Sample>(chunk[f * count + c]);
    }
}

}  // namespace

bool readAllChannels(wave::WaveFile& recording, std::vector<std::vector<analysis::Sample>>& channels,
                     std::string& error) {
    const std::size_t count = recording.channels;
    if (count == 0 || recording.bitsPerSample != 16) {
        error = "not a 16-bit recording";
        return false;
    }
    const std::uint64_t frames = framesPresent(recording);
    // Sized once: the file holds these frames, and a failed read leaves no caller using them.
    channels.assign(count, std::vector<analysis::Sample>(frames));
    std::vector<std::int16_t> chunk;
    for (std::uint64_t done = 0; done < frames;) {
        const auto take = static_cast<std::int32_t>(std::min<std::uint64_t>(kChunkFrames, frames - done));
        chunk.resize(static_cast<std::size_t>(take) * count);
        if (!recording.readSamples(chunk.data(), take)) {
            error = recording.message != nullptr ? recording.message : "the samples could not be read";
            return false;
        }
        dealFrames(chunk, done, channels);
        done += static_cast<std::uint64_t>(take);
    }
    return true;
}

}  // namespace auralyn::cli
