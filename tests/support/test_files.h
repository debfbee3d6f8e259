#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "little_endian.h"
#include "platform/non_copyable.h"

namespace auralyn::test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir : platform::NonCopyable {
public:
    TempDir();
    ~TempDir();

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The names of the files in a folder, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);
inline std::vector<std::string> filesIn(const TempDir& dir) { return filesIn(dir.path()); }

Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);
std::string readFileText(const std::string& path);
// Console text and reports end their lines in CR LF on Windows; checks about
// content read both with plain line feeds.
std::string withLineFeeds(const std::string& text);

// True when the line is three numbers, each as "%.4f" writes it (digits, a
// dot, four decimals), separated by single spaces: a row of an FRD or ZMA
// file. The first `unsignedFields` of them must carry no minus sign.
bool isFourDecimalRow(const std::string& line, std::size_t unsignedFields = 0);

}  // namespace auralyn::test
