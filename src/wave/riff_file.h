#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace auralyn::wave {

// One open chunk of a RIFF file.
struct RiffChunk {
    char id[5] = {};        // identifier as read, zero-terminated
    std::int32_t size = 0;  // contents in bytes; for RIFF/LIST without the form type
    char formType[5] = {};  // form type of a RIFF/LIST chunk, empty otherwise
    std::int32_t start = 0; // file offset of the first byte of the contents
    std::int32_t end = 0;   // start + size, rounded up to even (covers the pad byte)
};

// Walks the chunk tree of a RIFF file opened for reading. Never writes.
//
// A chunk whose size field reads negative (2^31 or more) ends a search with a
// failed descend, so every move goes forward and every open chunk has
// start <= end. Positions are kept in 64 bits internally; the 32-bit fields of
// RiffChunk saturate for the rare chunk reaching past 2^31 - 1.
class RiffFile {
public:
    explicit RiffFile(const char* fileName);
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Null when the file could not be opened or does not begin with a RIFF chunk.
    std::FILE* file() const { return file_; }

    bool rewind();
    bool descend(const char* name = nullptr);
    bool ascend();

    std::int32_t chunkSize() const;
    const char* chunkId() const;
    const char* chunkFormType() const;

    // The innermost open chunk, or null when none is open.
    const RiffChunk* currentChunk() const { return chunks_.empty() ? nullptr : &chunks_.back().info; }

private:
    struct OpenChunk {
        RiffChunk info;
        std::int64_t size = 0;
        std::int64_t start = 0;
        std::int64_t end = 0;
    };

    // False when the header is cut short by the end of the file or a read error.
    bool readChunkHeader(OpenChunk& chunk);

    // The stream's buffer, larger than the C library's default; it outlives the
    // stream, which the destructor closes first.
    std::unique_ptr<char[]> buffer_;
    std::FILE* file_ = nullptr;
    std::vector<OpenChunk> chunks_;
};

}  // namespace auralyn::wave
