#include "platform/staged_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

namespace auralyn::platform {
namespace {

namespace fs = std::filesystem;

bool isLink(const fs::path& path) {
    std::error_code ignored;
    return fs::is_symlink(fs::symlink_status(path, ignored));
}

// Devices, pipes and folders, after following links: nothing a rename may
// replace, so they are opened as they are.
bool isExistingNonRegular(const fs::path& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    return !error && fs::exists(status) && !fs::is_regular_file(status);
}

// The file a link finally points to, so that renaming over it keeps the link;
// a dangling link names the file it would create.
fs::path resolvedTarget(const fs::path& chosen) {
    if (!isLink(chosen)) return chosen;
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(chosen, error);
    return error ? chosen : resolved;
}

std::string randomSuffix() {
    std::random_device device;
    std::uniform_int_distribution<unsigned> digits(0, 0xFFFFFF);
    char text[16];
    std::snprintf(text, sizeof text, "%06x", digits(device));
    return text;
}

// A name in the target's folder that no file has yet; hidden, so a listing
// made during the run does not show it as a result, and random, so that runs
// writing beside each other do not meet.
fs::path temporaryNameFor(const fs::path& target) {
    const fs::path folder = target.parent_path();
    const std::string name = target.filename().string();
    for (;;) {
        const fs::path candidate = folder / ("." + name + "." + randomSuffix() + ".part");
        std::error_code error;
        if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
    }
}

bool writtenInPlace(const std::string& chosen, LinkedFile links) {
    if (links == LinkedFile::writtenThrough && isLink(chosen)) return true;
    return isExistingNonRegular(chosen);
}

}  // namespace

StagedFile::StagedFile(const std::string& chosen, LinkedFile links) : chosen_(chosen), written_(chosen) {
    if (writtenInPlace(chosen, links)) return;
    replaced_ = resolvedTarget(chosen).string();
    written_ = temporaryNameFor(replaced_).string();
    staged_ = true;
}

StagedFile::~StagedFile() { discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : chosen_(std::move(other.chosen_)),
      written_(std::move(other.written_)),
      replaced_(std::move(other.replaced_)),
      staged_(std::exchange(other.staged_, false)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this == &other) return *this;
    discard();
    chosen_ = std::move(other.chosen_);
    written_ = std::move(other.written_);
    replaced_ = std::move(other.replaced_);
    staged_ = std::exchange(other.staged_, false);
    return *this;
}

bool StagedFile::commit(std::string& error) {
    if (!staged_) return true;
    std::error_code failure;
    // Replaces an existing file on Windows too (it moves with replacement there).
    fs::rename(written_, replaced_, failure);
    if (failure) {
        error = failure.message();
        discard();
        return false;
    }
    staged_ = false;
    return true;
}

bool StagedFile::commit() {
    std::string ignored;
    return commit(ignored);
}

// Only ever a regular file of ours: what is written directly is never removed.
void StagedFile::discard() {
    if (!staged_) return;
    staged_ = false;
    std::error_code ignored;
    if (fs::is_regular_file(fs::symlink_status(written_, ignored))) fs::remove(written_, ignored);
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

}  // namespace auralyn::platform
