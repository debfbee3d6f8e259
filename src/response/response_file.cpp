#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "response/response_reader.h"

namespace auralyn::response {
namespace {

// A CSV table starts with its column names (frequency_hz first), after
// comment lines "# ..." if any.
bool startsCsvTable(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == '#') {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        at = end + 1;
    }
    return text.compare(at, 12, "frequency_hz") == 0;
}

}  // namespace

ReadResponse readResponseFile(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) throw Error(path + ": is a folder, not a response file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(path + ": cannot be read (" + std::string(errno != 0 ? std::strerror(errno) : "no such file") + ")");
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxResponseFileBytes) throw Error(path + ": larger than 64 MiB: not a response");
    }
    if (in.bad()) throw Error(path + ": cannot be read");
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) throw Error(path + ": the file is empty");
    if (text[first] == '{') return parseJsonResponse(text, path);
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (startsCsvTable(text)) return parseCsvResponse(text, path);
    return parseFrdResponse(text, path);
}

}  // namespace auralyn::response
