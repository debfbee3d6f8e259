#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "response/response_reader.h"

namespace auralyn::response {

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
    if (text.compare(0, 12, "frequency_hz") == 0 || text.compare(0, 15, "\xEF\xBB\xBF" "frequency_hz") == 0)
        return parseCsvResponse(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text, path);
    return parseFrdResponse(text, path);
}

}  // namespace auralyn::response
