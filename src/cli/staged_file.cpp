#include "cli/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace auralyn::cli {
namespace {

namespace fs = std::filesystem;

// The file a link finally points to, so that renaming over it keeps the link.
fs::path resolvedTarget(const fs::path& target) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(target, error))) return target;
    const fs::path resolved = fs::canonical(target, error);
    return error ? target : resolved;
}

std::string randomSuffix() {
    std::random_device device;
    std::uniform_int_distribution<unsigned> digits(0, 0xFFFFFF);
    char text[16];
    std::snprintf(text, sizeof text, "%06x", digits(device));
    return text;
}

// A name in the target's folder that no file has yet; hidden, so a listing
// made during the run does not show it as a result.
fs::path temporaryNameFor(const fs::path& target) {
    const fs::path folder = target.parent_path();
    const std::string name = target.filename().string();
    for (;;) {
        const fs::path candidate = folder / ("." + name + "." + randomSuffix() + ".part");
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
}

bool isExistingNonRegular(const fs::path& target) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    return !error && fs::exists(status) && !fs::is_regular_file(status);
}

}  // namespace

StagedFile::StagedFile(const std::string& target) : target_(target) {
    if (isExistingNonRegular(target)) {
        writePath_ = target;
        return;
    }
    writePath_ = temporaryNameFor(resolvedTarget(target)).string();
    staged_ = true;
}

StagedFile::~StagedFile() { discard(); }

bool StagedFile::commit(std::string& error) {
    if (!staged_) return true;
    std::error_code failure;
    fs::rename(writePath_, resolvedTarget(target_), failure);
    if (failure) {
        error = failure.message();
        discard();
        return false;
    }
    staged_ = false;
    return true;
}

void StagedFile::discard() {
    if (!staged_) return;
    std::error_code ignored;
    fs::remove(writePath_, ignored);
    staged_ = false;
}

bool closeWritten(std::FILE* stream, std::string& error) {
    errno = 0;
    const bool written = std::ferror(stream) == 0 && std::fflush(stream) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(stream) == 0;
    if (written && closed) return true;
    const int cause = writeErrno != 0 ? writeErrno : errno;
    error = cause != 0 ? std::strerror(cause) : "write failed";
    return false;
}

bool writeStagedText(const StagedFile& file, const std::string& text, std::string& error) {
    std::FILE* stream = std::fopen(file.writePath().c_str(), "wb");
    if (stream == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) {
        error = errno != 0 ? std::strerror(errno) : "write failed";
        std::fclose(stream);
        return false;
    }
    return closeWritten(stream, error);
}

bool isDevice(const std::string& path) { return isExistingNonRegular(path); }

bool sameExistingFile(const std::string& a, const std::string& b) {
    std::error_code unknown;
    return fs::equivalent(a, b, unknown);
}

bool samePlace(const std::string& a, const std::string& b) {
    if (sameExistingFile(a, b)) return true;
    std::error_code error;
    const fs::path left = fs::weakly_canonical(fs::absolute(a, error), error);
    if (error) return false;
    const fs::path right = fs::weakly_canonical(fs::absolute(b, error), error);
    return !error && left == right;
}

}  // namespace auralyn::cli
