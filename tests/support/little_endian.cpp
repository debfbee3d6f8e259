#include "little_endian.h"

#include <bit>

namespace auralyn::test {

void appendText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

void appendU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendF64(Bytes& out, double value) {
    auto bits = std::bit_cast<std::uint64_t>(value);
    for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

std::uint16_t loadU16(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

std::uint32_t loadU32(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes.at(offset + static_cast<std::size_t>(i));
    return value;
}

double loadF64(const Bytes& bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | bytes.at(offset + static_cast<std::size_t>(i));
    return std::bit_cast<double>(bits);
}

}  // namespace auralyn::test
