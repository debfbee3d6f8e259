#include "test_files.h"

#include <bit>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace auralyn::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "auralyn-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string readFileText(const std::string& path) {
    Bytes bytes = readFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

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

std::string withLineFeeds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

}  // namespace auralyn::test
