#include "cli/recording_samples.h"

#include <algorithm>
#include <memory>
#include <new>

#include "platform/memory_advice.h"

namespace auralyn::cli {
namespace {

// At least the reader's buffer (1 MiB), so that the C library reads the
// samples straight into the chunk rather than through its buffer.
constexpr std::int32_t kChunkFrames = 1 << 20;

// Frames the data chunk holds within the file: a header that claims more
// (or was never finalised) allocates only what is there.
std::uint64_t framesPresent(const wave::WaveFile& recording) {
    const std::int64_t frames = recording.remainingFrames();
    return frames > 0 ? static_cast<std::uint64_t>(frames) : 0;
}

// Interleaved frames appended to one vector per channel; a mono chunk in one go.
void appendFrames(const std::int16_t* chunk, std::size_t size, std::vector<std::vector<analysis::Sample>>& channels) {
    const std::size_t count = channels.size();
    if (count == 1) {
        channels[0].insert(channels[0].end(), chunk, chunk + size);
        return;
    }
    for (std::size_t c = 0; c < count; ++c)
        for (std::size_t n = c; n < size; n += count) channels[c].push_back(static_cast<analysis::Sample>(chunk[n]));
}

// The chunk the file is read into, on large pages of its own where it fills
// one: read straight into by the system, it would otherwise be faulted in
// page by page (hundreds of faults, dear on a virtual machine).
constexpr std::size_t kLargePage = std::size_t{1} << 21;

struct ChunkFree {
    bool large = false;
    void operator()(std::int16_t* data) const {
        if (large) {
            ::operator delete(data, std::align_val_t{kLargePage});
        } else {
            ::operator delete(data);
        }
    }
};
using Chunk = std::unique_ptr<std::int16_t, ChunkFree>;

// Left unset: the reader fills what is used of it.
Chunk chunkFor(std::size_t samples) {
    const std::size_t bytes = samples * sizeof(std::int16_t);
    if (bytes < kLargePage) return Chunk(static_cast<std::int16_t*>(::operator new(bytes)), ChunkFree{false});
    const std::size_t whole = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    Chunk chunk(static_cast<std::int16_t*>(::operator new(whole, std::align_val_t{kLargePage})), ChunkFree{true});
    platform::adviseLargePages(chunk.get(), whole);
    return chunk;
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
    channels.assign(count, {});
    for (auto& channel : channels) {
        channel.reserve(frames);
        platform::adviseLargePages(channel.data(), channel.capacity() * sizeof(analysis::Sample));
    }
    const Chunk chunk = chunkFor(static_cast<std::size_t>(std::min<std::uint64_t>(kChunkFrames, frames)) * count);
    for (std::uint64_t done = 0; done < frames;) {
        const auto take = static_cast<std::int32_t>(std::min<std::uint64_t>(kChunkFrames, frames - done));
        if (!recording.readSamples(chunk.get(), take)) {
            error = recording.message != nullptr ? recording.message : "the samples could not be read";
            return false;
        }
        appendFrames(chunk.get(), static_cast<std::size_t>(take) * count, channels);
        done += static_cast<std::uint64_t>(take);
    }
    return true;
}

}  // namespace auralyn::cli
