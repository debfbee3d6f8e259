#pragma once

// Builders for RIFF/WAVE files laid out byte by byte by the tests.

#include <cstdint>
#include <string>
#include <vector>

#include "little_endian.h"

namespace auralyn::test {

Bytes concat(std::initializer_list<Bytes> parts);

// id, the given 32-bit size field, the payload, and a pad byte when the payload is odd.
Bytes chunkWithSizeField(const std::string& id, std::uint32_t sizeField, const Bytes& payload);
// A chunk whose size field is the payload's size.
Bytes chunk(const std::string& id, const Bytes& payload);
// "LIST", size 4 + contents, the form type, the contents.
Bytes listChunk(const std::string& formType, const Bytes& contents);
// "RIFF", size 4 + contents, the form type, the contents.
Bytes riff(const Bytes& contents, const std::string& formType = "WAVE");

// The 16 bytes of a PCM format chunk's contents, followed by an extension of
// `extraBytes` (its 16-bit size field, then zeros) when that is 2 or more.
Bytes pcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::size_t extraBytes = 0);
Bytes samples(const std::vector<std::int16_t>& values);

// A canonical file: RIFF, "fmt ", "data" holding these 16-bit samples (the
// format chunk may claim another sample size, for files the reader refuses).
Bytes waveBytes(const std::vector<std::int16_t>& values, std::uint32_t rate, std::uint16_t channels = 1,
                std::uint16_t bits = 16);

// Full-scale-normalised channels (each the same length), interleaved into
// PCM of `bits` (16 or 24), each sample rounded to its nearest code.
Bytes pcmWave(const std::vector<std::vector<double>>& channels, std::uint32_t rate, int bits);

}  // namespace auralyn::test
