#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace auralyn {

// One open chunk of a RIFF file.
struct RiffChunk {
    char id[5] = {};        // identifier as read, zero-terminated
    std::int32_t size = 0;  // contents in bytes; for RIFF/LIST without the form type
    char formType[5] = {};  // form type of a RIFF/LIST chunk, empty otherwise
    std::int32_t start = 0; // file offset of the first byte of the contents
    std::int32_t end = 0;   // start + size, rounded up to even (covers the pad byte)
};

// Walks the chunk tree of a RIFF file opened for reading. Never writes.
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

private:
    RiffChunk readChunkHeader();

    std::FILE* file_ = nullptr;
    std::vector<RiffChunk> chunks_;
};

}  // namespace auralyn
