#include "platform/staged_file.h"

#include <filesystem>
#include <system_error>

namespace auralyn {
namespace {

namespace fs = std::filesystem;

bool existsAsAnything(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

bool isPlainFile(const std::string& path) {
    std::error_code ignored;
    return fs::is_regular_file(fs::symlink_status(path, ignored));
}

}  // namespace

StagedFile stageFile(const std::string& chosen) {
    if (existsAsAnything(chosen) && !isPlainFile(chosen)) return {chosen, chosen};
    // The same folder, so that the final rename replaces the file in one step.
    std::string temporary = chosen + ".tmp";
    for (int n = 1; existsAsAnything(temporary); ++n) temporary = chosen + ".tmp" + std::to_string(n);
    return {chosen, temporary};
}

bool commitStagedFile(const StagedFile& file) {
    if (file.direct()) return true;
    std::error_code error;
    // Replaces an existing file on Windows too (it moves with replacement there).
    fs::rename(file.written, file.chosen, error);
    return !error;
}

void discardStagedFile(const StagedFile& file) {
    if (file.direct() || !isPlainFile(file.written)) return;
    std::error_code ignored;
    fs::remove(file.written, ignored);
}

}  // namespace auralyn
