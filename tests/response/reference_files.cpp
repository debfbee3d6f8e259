#include "reference_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "run_program.h"
#include "test_files.h"

namespace auralyn::response::test {

const std::string& referenceFolder(std::string& why) {
    static std::unique_ptr<auralyn::test::TempDir> dir;
    static std::string folder, reason;
    static bool tried = false;
    if (!tried) {
        tried = true;
        const std::string python = "/usr/bin/python3";
        if (!std::filesystem::exists(python)) {
            reason = "python3 is needed for the numpy references";
        } else {
            dir = std::make_unique<auralyn::test::TempDir>();
            const auralyn::test::ProgramRun run =
                auralyn::test::runProgram(python, {RESPONSE_REFERENCE_SCRIPT, dir->path().string()}, "", dir->path().string());
            if (run.exitCode == 0) folder = dir->path().string();
            else reason = "the numpy reference script failed (is python3-numpy installed?): " + run.err;
        }
    }
    why = reason;
    return folder;
}

std::vector<double> referenceColumn(const Response& response, const std::string& name) {
    std::size_t column = response.extraColumns.size();
    for (std::size_t c = 0; c < response.extraColumns.size(); ++c)
        if (response.extraColumns[c] == name) column = c;
    EXPECT_LT(column, response.extraColumns.size()) << "no column " << name;
    std::vector<double> values;
    for (const Tone& tone : response.tones)
        values.push_back(column < tone.extra.size() && tone.extra[column] ? *tone.extra[column] : NAN);
    return values;
}

}  // namespace auralyn::response::test
