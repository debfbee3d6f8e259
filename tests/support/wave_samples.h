#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

namespace auralyn::test {

// The bytes of a canonical PCM WAV file holding these samples.
Bytes waveBytes(const std::vector<std::int16_t>& samples, std::uint32_t rate, std::uint16_t channels = 1,
                std::uint16_t bits = 16);

void writeWave(const std::string& path, const std::vector<std::int16_t>& samples, std::uint32_t rate);

// The samples of a canonical 44-byte-header WAV file as the tools write it.
std::vector<std::int16_t> readWaveSamples(const std::string& path);
std::uint32_t readWaveRate(const std::string& path);

void writeTextFile(const std::string& path, const std::string& text);

}  // namespace auralyn::test
