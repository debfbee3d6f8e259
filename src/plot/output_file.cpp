#include "plot/output_file.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace auralyn::plot {

namespace {

// Where the output really goes: the target of a symbolic link, so that the
// rename replaces the linked file rather than the link.
std::string finalPathFor(const std::string& path) {
    std::error_code failure;
    if (!std::filesystem::is_symlink(path, failure)) return path;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, failure);
    return failure ? path : target.string();
}

// A device (a link to /dev/full or /dev/null, a terminal) is written in place:
// there is no file to replace, and a failed write must show as a failure.
bool isExistingNonRegularFile(const std::string& path) {
    std::error_code failure;
    const std::filesystem::file_status status = std::filesystem::status(path, failure);
    return !failure && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

}  // namespace

std::string temporaryPathFor(const std::string& path) {
    if (isExistingNonRegularFile(path)) return path;
    return finalPathFor(path) + ".partial-" + std::to_string(static_cast<long>(getpid()));
}

bool commitTemporary(const std::string& temporary, const std::string& path, std::string& error) {
    if (temporary == path) return true;  // written in place
    std::error_code failure;
    std::filesystem::rename(temporary, finalPathFor(path), failure);
    if (!failure) return true;
    discardTemporary(temporary);
    error = path + ": cannot be written (" + failure.message() + ")";
    return false;
}

// Only ever a regular file: a device written in place is never removed.
void discardTemporary(const std::string& temporary) {
    std::error_code ignored;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(temporary, ignored)))
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

}  // namespace auralyn::plot
