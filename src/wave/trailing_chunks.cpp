#include "wave/trailing_chunks.h"

#include <algorithm>
#include <vector>

#include "wave/stream_io.h"

namespace auralyn::wave {
namespace {

constexpr std::size_t kChunkHeader = 8;
constexpr int kMostChunks = 16;

bool isCodeCharacter(std::uint8_t c) { return c >= 0x20 && c <= 0x7E; }

std::uint32_t sizeAt(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// The chunk header at `at` (an offset into `window`) whose chunk ends exactly at `end`.
bool chunkEndsAt(const std::vector<std::uint8_t>& window, std::size_t at, std::size_t end) {
    const std::uint8_t* header = window.data() + at;
    if (!std::all_of(header, header + 4, isCodeCharacter)) return false;
    const std::uint64_t size = sizeAt(header + 4);
    const std::uint64_t bodyEnd = at + kChunkHeader + size;
    return bodyEnd == end || bodyEnd + (size & 1) == end;
}

}  // namespace

std::int64_t trailingChunksStart(std::FILE* in, std::int64_t dataStart, std::int64_t fileEnd) {
    const std::int64_t windowStart = std::max(dataStart, fileEnd - kTrailingChunkWindow);
    if (fileEnd - windowStart < static_cast<std::int64_t>(kChunkHeader)) return fileEnd;
    std::vector<std::uint8_t> window(static_cast<std::size_t>(fileEnd - windowStart));
    if (!seekPosition(in, windowStart, SEEK_SET) || std::fread(window.data(), 1, window.size(), in) != window.size())
        return fileEnd;
    // Chunks start on even offsets from the samples' first byte.
    const std::size_t parity = static_cast<std::size_t>((windowStart - dataStart) & 1);
    std::size_t end = window.size();
    for (int chunks = 0; chunks < kMostChunks; ++chunks) {
        // The outermost chunk that ends here: a LIST chunk's own sub-chunks
        // end where it does.
        std::size_t outermost = end;
        for (std::size_t at = end - kChunkHeader + 1; at-- > 0;) {
            if ((at & 1) == parity && chunkEndsAt(window, at, end)) outermost = at;
        }
        if (outermost == end) break;
        end = outermost;
        if (end < kChunkHeader) break;
    }
    return windowStart + static_cast<std::int64_t>(end);
}

}  // namespace auralyn::wave
