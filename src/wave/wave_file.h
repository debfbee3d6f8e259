#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "wave/riff_file.h"

namespace auralyn::wave {

// Reads and writes 16-bit PCM WAV files. Format fields are plain data for callers
// to read; failures return false and leave their text in `message`.
class WaveFile {
public:
    WaveFile() = default;
    ~WaveFile();
    WaveFile(const WaveFile&) = delete;
    WaveFile& operator=(const WaveFile&) = delete;

    bool openRead(const char* name);
    bool openWrite(const char* name);
    // In write mode: rewrites the header if needed; false when the samples, the
    // header or the final flush could not be written.
    bool close();

    void setFormat(std::uint32_t rate, std::int16_t bits, std::int16_t channelCount);
    void setSampleRate(std::uint32_t rate);

    bool writeSample(std::int16_t value);
    bool readSample(std::int16_t* out);
    bool readSamples(std::int16_t* buffer, std::int32_t frames);
    bool skipSamples(std::int32_t frames);

    // In read mode, for a header that was never finalised (data size 0): the
    // samples end where the chunks a recorder appended after them begin (see
    // trailingChunksStart), not at the file's end. Does nothing otherwise.
    void endBeforeTrailingChunks();

    // Whole frames left between the read position and the end of the samples
    // (0 outside read mode).
    std::int64_t remainingFrames() const;

    bool isReading() const { return reader_ != nullptr; }
    bool isWriting() const { return file_ != nullptr; }

    std::uint16_t formatTag = 0;     // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;    // frames per second
    std::uint32_t byteRate = 0;      // bytes per second, as the header states it
    std::uint16_t blockAlign = 0;    // bytes per frame
    std::int16_t bitsPerSample = 0;
    std::uint32_t dataSize = 0;      // bytes of samples, as the header states it (0: never finalised)
    std::uint32_t dataStart = 0;     // where the first sample lies in the file
    const char* message = nullptr;   // the last failure's text
    bool dirty = true;               // writing: the header does not yet tell the samples written

private:
    void openReader(const char* name);
    void readFormatChunk();
    bool finishOutput();
    bool writeWaveHeader(std::FILE* target);
    bool writeBytes(const std::uint8_t* bytes, std::size_t count);
    bool readBytes(void* buffer, std::size_t count);
    bool withinData(std::size_t count) const;
    std::int64_t readPosition() const;

    std::unique_ptr<RiffFile> reader_;
    // File offset just past the last sample byte in read mode: the data chunk's
    // end, or the file's end when the chunk claims more or was never finalised.
    std::int64_t dataEnd_ = 0;
    // The reader's file offset as the reads and skips of samples moved it; -1
    // when unknown (then asked of the stream). Asking costs a system call, and
    // the walk asks several times per tone.
    mutable std::int64_t readPosition_ = -1;
    std::FILE* file_ = nullptr;
};

}  // namespace auralyn::wave
