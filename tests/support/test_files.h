#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace auralyn::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);
std::string readFileText(const std::string& path);
// Console text and reports end their lines in CR LF on Windows; checks about
// content read both with plain line feeds.
std::string withLineFeeds(const std::string& text);

// Little-endian appenders for building files byte by byte in tests.
void appendText(Bytes& out, const std::string& text);
void appendU16(Bytes& out, std::uint16_t value);
void appendU32(Bytes& out, std::uint32_t value);
void appendF64(Bytes& out, double value);

std::uint16_t loadU16(const Bytes& bytes, std::size_t offset);
std::uint32_t loadU32(const Bytes& bytes, std::size_t offset);
double loadF64(const Bytes& bytes, std::size_t offset);

}  // namespace auralyn::test
