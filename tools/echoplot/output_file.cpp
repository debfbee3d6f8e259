#include "echoplot/output_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace auralyn::tools {

std::string temporaryPathFor(const std::string& path) {
    return path + ".partial-" + std::to_string(static_cast<long>(getpid()));
}

bool commitTemporary(const std::string& temporary, const std::string& path, std::string& error) {
    std::error_code failure;
    std::filesystem::rename(temporary, path, failure);
    if (!failure) return true;
    discardTemporary(temporary);
    error = path + ": cannot be written (" + failure.message() + ")";
    return false;
}

void discardTemporary(const std::string& temporary) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
}

bool writeTextFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    const std::string temporary = temporaryPathFor(path);
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (out == nullptr) {
        error = path + ": cannot be written in its folder";
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        discardTemporary(temporary);
        error = path + ": writing failed (disk full?)";
        return false;
    }
    return commitTemporary(temporary, path, error);
}

std::string withExtension(const std::string& path, const std::string& extension) {
    std::filesystem::path result(path);
    result.replace_extension(extension);
    return result.string();
}

}  // namespace auralyn::tools
