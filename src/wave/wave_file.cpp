#include "wave/wave_file.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "wave/stream_io.h"
#include "wave/trailing_chunks.h"

namespace auralyn::wave {
namespace {

constexpr const char* kCouldntOpenFile = "Couldn't open file";
constexpr const char* kNoWaveFormat = "Couldn't find RIFF, WAVE, or fmt";
constexpr const char* kErrorReadingFormat = "Error reading format chunk";
constexpr const char* kNoDataChunk = "Couldn't find data chunk";
constexpr const char* kCouldntOpenOutput = "Couldn't open output file";
constexpr const char* kErrorWritingHeader = "Error writing header";
constexpr const char* kSampleSizeMismatch = "Sample size mismatch";
constexpr const char* kCouldntReadSamples = "Couldn't read samples";
constexpr const char* kCouldntWriteSamples = "Couldn't write samples";

constexpr std::size_t kFormatBytes = 16;
// The RIFF size field holds data size + 36 in 32 bits.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
// Large enough that the stream, not the per-sample call, sets the pace.
constexpr std::size_t kOutputBufferBytes = 1 << 16;

// Carries a failure of openRead to its single handler; the text is already in `message`.
struct OpenFailure {};

[[noreturn]] void raise(const char*& message, const char* text) {
    message = text;
    throw OpenFailure{};
}

std::uint16_t decodeU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t decodeU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool putText(std::FILE* out, const char* fourCharacters) {
    return std::fwrite(fourCharacters, 4, 1, out) == 1;
}

bool putU16(std::FILE* out, std::uint16_t value) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    return std::fwrite(bytes, sizeof bytes, 1, out) == 1;
}

bool putU32(std::FILE* out, std::uint32_t value) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                   static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return std::fwrite(bytes, sizeof bytes, 1, out) == 1;
}

// True when the stream holds at least `end` bytes. Moves the read position.
bool streamReaches(std::FILE* in, std::int64_t end) {
    if (!seekPosition(in, 0, SEEK_END)) return false;
    const std::int64_t length = tellPosition(in);
    return length >= 0 && length >= end;
}

// What follows the data chunk (a LIST chunk, say) is not audio. A header that
// was never finalised (size 0) or that claims more than the file holds leaves
// the file's end as the bound. Leaves the position on the first sample byte.
std::int64_t findDataEnd(std::FILE* in, std::int64_t start, std::uint32_t size) {
    std::int64_t fileEnd = start;
    if (seekPosition(in, 0, SEEK_END)) fileEnd = std::max(start, tellPosition(in));
    seekPosition(in, start, SEEK_SET);
    const std::int64_t chunkEnd = start + std::int64_t{size};
    return size == 0 || chunkEnd > fileEnd ? fileEnd : chunkEnd;
}

bool isWaveRoot(const RiffFile& reader) {
    const char* id = reader.chunkId();
    const char* formType = reader.chunkFormType();
    return id != nullptr && std::strcmp(id, "RIFF") == 0 && formType != nullptr && std::strcmp(formType, "WAVE") == 0;
}

// Samples sit in the file little-endian; only a big-endian host has to turn them.
void samplesFromLittleEndian(std::int16_t* samples, std::size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(samples);
        for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(decodeU16(bytes + 2 * i));
    } else {
        (void)samples;
        (void)count;
    }
}

}  // namespace

WaveFile::~WaveFile() { close(); }

bool WaveFile::openRead(const char* name) {
    if (reader_ != nullptr || file_ != nullptr) close();
    readPosition_ = -1;
    try {
        openReader(name);
        readPosition_ = -1;
        return true;
    } catch (...) {
        // A failure text, or an allocation failure that leaves `message` as it was.
        close();
        return false;
    }
}

void WaveFile::openReader(const char* name) {
    reader_ = std::make_unique<RiffFile>(name);
    if (reader_->file() == nullptr) raise(message, kCouldntOpenFile);
    if (!isWaveRoot(*reader_) || !reader_->descend("fmt ")) raise(message, kNoWaveFormat);
    readFormatChunk();
    reader_->ascend();
    // The search starts again at the first sub-chunk, so "data" may precede "fmt ".
    if (!reader_->descend("data")) raise(message, kNoDataChunk);
    const std::int64_t start = tellPosition(reader_->file());
    if (start < 0 || start > std::numeric_limits<std::uint32_t>::max()) raise(message, kNoDataChunk);
    dataSize = static_cast<std::uint32_t>(reader_->chunkSize());
    dataStart = static_cast<std::uint32_t>(start);
    dataEnd_ = findDataEnd(reader_->file(), start, dataSize);
}

// Only the first 16 bytes are used; the rest of the chunk must exist but is never
// loaded, so no size field can make this allocate.
void WaveFile::readFormatChunk() {
    std::FILE* in = reader_->file();
    const std::int64_t size = reader_->chunkSize();
    const std::int64_t start = tellPosition(in);
    std::uint8_t format[kFormatBytes];
    if (size < static_cast<std::int64_t>(kFormatBytes) || start < 0) raise(message, kErrorReadingFormat);
    if (std::fread(format, 1, sizeof format, in) != sizeof format) raise(message, kErrorReadingFormat);
    if (!streamReaches(in, start + size)) raise(message, kErrorReadingFormat);
    formatTag = decodeU16(format);
    channels = decodeU16(format + 2);
    sampleRate = decodeU32(format + 4);
    byteRate = decodeU32(format + 8);
    blockAlign = decodeU16(format + 12);
    bitsPerSample = static_cast<std::int16_t>(decodeU16(format + 14));
}

bool WaveFile::openWrite(const char* name) {
    if (reader_ != nullptr || file_ != nullptr) close();
    file_ = name != nullptr ? std::fopen(name, "wb") : nullptr;
    if (file_ == nullptr) {
        message = kCouldntOpenOutput;
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kOutputBufferBytes);
    dataSize = 0;
    return writeWaveHeader(file_);
}

bool WaveFile::close() {
    if (reader_ != nullptr) {
        reader_.reset();
        return true;
    }
    if (file_ == nullptr) return true;
    bool result = dirty ? finishOutput() : true;
    // Buffered bytes reach the disk only here: a failure means the file is incomplete.
    if (std::fclose(file_) != 0 && result) {
        message = kErrorWritingHeader;
        result = false;
    }
    file_ = nullptr;
    return result;
}

// Rewrites the header with the final sizes, but only over samples that really
// reached the file: a header must not announce data that was lost.
bool WaveFile::finishOutput() {
    if (std::fflush(file_) != 0) {
        message = kCouldntWriteSamples;
        return false;
    }
    const std::int64_t position = tellPosition(file_);
    const bool written = writeWaveHeader(file_);
    if (position >= 0) seekPosition(file_, position, SEEK_SET);
    return written;
}

bool WaveFile::writeWaveHeader(std::FILE* target) {
    if (!seekPosition(target, 0, SEEK_SET)) return false;
    const bool written = putText(target, "RIFF") && putU32(target, dataSize + 36) && putText(target, "WAVE") &&
                         putText(target, "fmt ") && putU32(target, kFormatBytes) && putU16(target, formatTag) &&
                         putU16(target, channels) && putU32(target, sampleRate) && putU32(target, byteRate) &&
                         putU16(target, blockAlign) && putU16(target, static_cast<std::uint16_t>(bitsPerSample)) &&
                         putText(target, "data") && putU32(target, dataSize);
    if (!written) {
        message = kErrorWritingHeader;
        return false;
    }
    if (target == file_) dirty = false;
    return true;
}

void WaveFile::setFormat(std::uint32_t rate, std::int16_t bits, std::int16_t channelCount) {
    formatTag = 1;
    channels = static_cast<std::uint16_t>(channelCount);
    sampleRate = rate;
    blockAlign = static_cast<std::uint16_t>((bits >> 3) * channelCount);
    byteRate = blockAlign * rate;
    bitsPerSample = bits;
    dataSize = 0;
    dirty = true;
}

void WaveFile::setSampleRate(std::uint32_t rate) {
    sampleRate = rate;
    byteRate = blockAlign * rate;
    dirty = true;
}

bool WaveFile::writeSample(std::int16_t value) {
    if (bitsPerSample != 16) {
        message = kSampleSizeMismatch;
        return false;
    }
    const auto bits = static_cast<std::uint16_t>(value);
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8)};
    return writeBytes(bytes, sizeof bytes);
}

bool WaveFile::writeBytes(const std::uint8_t* bytes, std::size_t count) {
    // Outside write mode, or past what the 32-bit size fields can describe.
    if (file_ == nullptr || std::uint64_t{dataSize} + count > kMaxDataBytes) {
        message = kCouldntWriteSamples;
        return false;
    }
    if (putBytes(file_, bytes, count) != count) {
        message = kCouldntWriteSamples;
        return false;
    }
    dataSize += static_cast<std::uint32_t>(count);
    dirty = true;
    return true;
}

bool WaveFile::readSample(std::int16_t* out) {
    if (bitsPerSample != 16) {
        message = kSampleSizeMismatch;
        return false;
    }
    std::uint8_t bytes[2];
    if (out == nullptr || !readBytes(bytes, sizeof bytes)) return false;
    *out = static_cast<std::int16_t>(decodeU16(bytes));
    return true;
}

bool WaveFile::readSamples(std::int16_t* buffer, std::int32_t frames) {
    if (bitsPerSample != 16) {
        message = kSampleSizeMismatch;
        return false;
    }
    // The count follows `channels`, not `blockAlign`; 64 bits cannot overflow here.
    const std::uint64_t samples = frames < 0 ? 0 : static_cast<std::uint64_t>(frames) * channels;
    if (frames < 0 || samples > std::numeric_limits<std::size_t>::max() / 2 || (buffer == nullptr && samples > 0)) {
        message = kCouldntReadSamples;
        return false;
    }
    if (!readBytes(buffer, static_cast<std::size_t>(samples) * 2)) return false;
    samplesFromLittleEndian(buffer, static_cast<std::size_t>(samples));
    return true;
}

bool WaveFile::readBytes(void* buffer, std::size_t count) {
    std::FILE* in = reader_ != nullptr ? reader_->file() : nullptr;
    if (in == nullptr) {
        message = kCouldntReadSamples;
        return false;
    }
    if (count > 0 && (!withinData(count) || std::fread(buffer, 1, count, in) != count)) {
        readPosition_ = -1;
        message = kCouldntReadSamples;
        return false;
    }
    if (readPosition_ >= 0) readPosition_ += static_cast<std::int64_t>(count);
    return true;
}

namespace {

// Short forward skips are read and dropped: the C library answers every seek,
// even one inside its buffer, with a system call, and a walk skips twice a tone.
constexpr std::int64_t kReadPastBytes = 64 * 1024;

// Moves `in` forward by `bytes` to `target` by reading; where the reading
// falls short, seeks there as a skip always did.
bool readPast(std::FILE* in, std::int64_t bytes, std::int64_t target) {
    char dropped[8192];
    while (bytes > 0) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(bytes, sizeof dropped));
        if (std::fread(dropped, 1, piece, in) != piece) {
            std::clearerr(in);
            return seekPosition(in, target, SEEK_SET);
        }
        bytes -= static_cast<std::int64_t>(piece);
    }
    return true;
}

}  // namespace

// Accepted exactly when at least one whole frame of the samples remains after
// the skip; the samples end where the data chunk ends, or at the file's end for
// a header that was never finalised. A skip that goes backwards past the first
// sample is refused.
bool WaveFile::skipSamples(std::int32_t frames) {
    if (reader_ == nullptr) return false;
    std::FILE* in = reader_->file();
    const std::int64_t position = readPosition();
    if (position < static_cast<std::int64_t>(dataStart)) return false;
    const std::int64_t bytes = std::int64_t{frames} * blockAlign;
    const std::int64_t target = position + bytes;
    if (target < static_cast<std::int64_t>(dataStart) || target > dataEnd_ - std::int64_t{blockAlign}) return false;
    const bool moved = bytes > 0 && bytes <= kReadPastBytes ? readPast(in, bytes, target) : seekPosition(in, bytes, SEEK_CUR);
    readPosition_ = moved ? target : -1;
    return moved;
}

// In read mode nothing past the samples is read: what follows them is not audio.
std::int64_t WaveFile::readPosition() const {
    if (readPosition_ < 0) readPosition_ = tellPosition(reader_->file());
    return readPosition_;
}

bool WaveFile::withinData(std::size_t count) const {
    if (reader_ == nullptr) return true;
    const std::int64_t position = readPosition();
    return position >= 0 && position <= dataEnd_ && static_cast<std::uint64_t>(dataEnd_ - position) >= count;
}

void WaveFile::endBeforeTrailingChunks() {
    if (reader_ == nullptr || dataSize != 0) return;
    std::FILE* in = reader_->file();
    const std::int64_t position = tellPosition(in);
    if (position < 0) return;
    dataEnd_ = std::max<std::int64_t>(position, trailingChunksStart(in, dataStart, dataEnd_));
    seekPosition(in, position, SEEK_SET);
    readPosition_ = -1;
}

std::int64_t WaveFile::remainingFrames() const {
    if (reader_ == nullptr || blockAlign == 0) return 0;
    const std::int64_t position = readPosition();
    if (position < 0 || position >= dataEnd_) return 0;
    return (dataEnd_ - position) / blockAlign;
}

}  // namespace auralyn::wave
