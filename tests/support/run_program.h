#pragma once

#include <string>
#include <vector>

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

}  // namespace auralyn::test
