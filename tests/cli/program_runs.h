#pragma once

// Runs of the real auralyn, tonesmith and echoprobe programs in a folder.
#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"

namespace auralyn::test {

inline ProgramRun auralyn(const TempDir& dir, const std::vector<std::string>& args) {
    return runProgram(AURALYN_PATH, args, "", dir.path().string());
}

// tonesmith writes NAME.wav and NAME.swp from the answers to its sweep questions.
inline ProgramRun tonesmith(const TempDir& dir, const std::string& name, const std::string& answers) {
    return runProgram(TONESMITH_PATH, {}, name + ".wav\n\n" + answers, dir.path().string());
}

// echoprobe measures the recording against the parameter file into the report.
inline ProgramRun echoprobe(const TempDir& dir, const std::string& recording, const std::string& parameters,
                            const std::string& report) {
    return runProgram(ECHOPROBE_PATH, {}, recording + "\n" + parameters + "\n" + report + "\n\n",
                      dir.path().string());
}

inline bool exists(const TempDir& dir, const std::string& name) {
    return std::filesystem::exists(std::filesystem::symlink_status(dir.file(name)));
}

inline std::size_t fileCount(const TempDir& dir) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++count;
    return count;
}

}  // namespace auralyn::test
