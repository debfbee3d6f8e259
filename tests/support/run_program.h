#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace auralyn::test {

struct ProgramRun {
    int exitCode = -1;  // the exit status, or 128 + signal number when killed by a signal
    std::string out;    // everything written to standard output
    std::string err;    // everything written to standard error
};

// Runs a program with the given arguments in the given folder, its standard input
// fed from `input` through a pipe (closed after the last byte, so the program sees
// end of input there). Waits for the program to end.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                      const std::string& workingDirectory);

// `a` followed by `b`: a command's arguments put together from parts.
inline std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A command line that auralyn must refuse, and words its message holds.
struct Refusal {
    std::vector<std::string> args;
    std::string message;
};

// Runs each refused command line with `run(args)`: each ends with exit status
// 1 and an "auralyn: " message holding the words, and leaves the folder's
// files as they were.
template <class Run>
void expectRefusals(const TempDir& dir, const std::vector<Refusal>& cases, Run run) {
    const std::vector<std::string> before = filesIn(dir);
    for (const auto& [args, message] : cases) {
        const ProgramRun refused = run(args);
        EXPECT_EQ(refused.exitCode, 1) << args[0];
        EXPECT_EQ(refused.err.rfind("auralyn: ", 0), 0u) << refused.err;
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_EQ(filesIn(dir), before) << args[0];
    }
}

}  // namespace auralyn::test
