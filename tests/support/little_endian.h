#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace auralyn::test {

using Bytes = std::vector<std::uint8_t>;

// Little-endian appenders for building files byte by byte in tests.
void appendText(Bytes& out, const std::string& text);
void appendU16(Bytes& out, std::uint16_t value);
void appendU32(Bytes& out, std::uint32_t value);
void appendF64(Bytes& out, double value);

std::uint16_t loadU16(const Bytes& bytes, std::size_t offset);
std::uint32_t loadU32(const Bytes& bytes, std::size_t offset);
double loadF64(const Bytes& bytes, std::size_t offset);

}  // namespace auralyn::test
