#include "wave/riff_file.h"

#include <cstring>
#include <limits>

#include "wave/stream_io.h"

namespace auralyn::wave {
namespace {

std::int32_t decodeSigned32(const unsigned char* bytes) {
    const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int32_t>(value);
}

std::int32_t saturate32(std::int64_t value) {
    if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

bool hasFormType(const char* id) { return std::strcmp(id, "RIFF") == 0 || std::strcmp(id, "LIST") == 0; }

constexpr std::size_t kReadBufferBytes = std::size_t{1} << 20;

}  // namespace

RiffFile::RiffFile(const char* fileName) {
    if (fileName == nullptr) return;
    file_ = std::fopen(fileName, "rb");
    // Recordings are read front to back in tone-sized pieces with short skips
    // between them: a large buffer turns thousands of small reads into a few
    // (each a system call), and most skips land inside it.
    if (file_ != nullptr) {
        // Left unset: the C library fills what it uses, and a reader whose
        // requests bypass the buffer never touches (so never faults in) the rest.
        buffer_ = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
        std::setvbuf(file_, buffer_.get(), _IOFBF, kReadBufferBytes);
    }
    if (file_ != nullptr && !rewind()) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

RiffFile::~RiffFile() {
    if (file_ != nullptr) std::fclose(file_);
}

bool RiffFile::readChunkHeader(OpenChunk& chunk) {
    unsigned char header[8];
    if (std::fread(header, 1, sizeof header, file_) != sizeof header) return false;
    std::memcpy(chunk.info.id, header, 4);
    chunk.info.id[4] = '\0';
    chunk.size = decodeSigned32(header + 4);
    chunk.info.formType[0] = '\0';
    if (hasFormType(chunk.info.id)) {
        if (std::fread(chunk.info.formType, 1, 4, file_) != 4) return false;
        chunk.info.formType[4] = '\0';
        chunk.size -= 4;
    }
    chunk.start = tellPosition(file_);
    if (chunk.start < 0) return false;
    chunk.end = chunk.start + chunk.size;
    if (chunk.end % 2 != 0) ++chunk.end;
    chunk.info.size = saturate32(chunk.size);
    chunk.info.start = saturate32(chunk.start);
    chunk.info.end = saturate32(chunk.end);
    return true;
}

bool RiffFile::rewind() {
    chunks_.clear();
    if (file_ == nullptr || !seekPosition(file_, 0, SEEK_SET)) return false;
    OpenChunk root;
    if (!readChunkHeader(root) || std::strcmp(root.info.id, "RIFF") != 0) return false;
    chunks_.push_back(root);
    return true;
}

bool RiffFile::descend(const char* name) {
    if (chunks_.empty()) return false;
    const OpenChunk parent = chunks_.back();  // a copy: pushing may move the stack
    // A named search always covers the whole chunk, from its first sub-chunk.
    if (name != nullptr && !seekPosition(file_, parent.start, SEEK_SET)) return false;
    for (;;) {
        const std::int64_t position = tellPosition(file_);
        if (position < 0 || position >= parent.end) break;
        OpenChunk header;
        if (!readChunkHeader(header)) break;
        // A negative size would send the search backwards or nowhere: it ends here.
        if (header.size < 0) break;
        if (name == nullptr || std::strcmp(header.info.id, name) == 0) {
            chunks_.push_back(header);
            return true;
        }
        if (!seekPosition(file_, header.end, SEEK_SET)) return false;
    }
    // Also clears the end-of-file indicator for the next search.
    seekPosition(file_, parent.start, SEEK_SET);
    return false;
}

bool RiffFile::ascend() {
    if (chunks_.size() < 2) return false;
    seekPosition(file_, chunks_.back().end, SEEK_SET);
    chunks_.pop_back();
    return true;
}

std::int32_t RiffFile::chunkSize() const { return chunks_.empty() ? 0 : chunks_.back().info.size; }

const char* RiffFile::chunkId() const { return chunks_.empty() ? nullptr : chunks_.back().info.id; }

const char* RiffFile::chunkFormType() const {
    if (chunks_.empty() || chunks_.back().info.formType[0] == '\0') return nullptr;
    return chunks_.back().info.formType;
}

}  // namespace auralyn::wave
