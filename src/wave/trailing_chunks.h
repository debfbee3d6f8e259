#pragma once

#include <cstdint>
#include <cstdio>

namespace auralyn::wave {

// Where the chunks that follow the samples of a data chunk whose size was
// never written (0) begin: a recorder that stops without finalising its header
// may still have appended a LIST chunk. Chunks are recognised from the file's
// end backwards: a four-character code and a size that runs (with its pad
// byte) exactly to the end, or to the next such chunk. Returns `fileEnd` when
// none is found. Only the file's last `kTrailingChunkWindow` bytes are looked at,
// so the cost stays small whatever the file's length. Moves the position.
inline constexpr std::int64_t kTrailingChunkWindow = 1 << 20;
std::int64_t trailingChunksStart(std::FILE* in, std::int64_t dataStart, std::int64_t fileEnd);

}  // namespace auralyn::wave
