#pragma once

#include <string>
#include <vector>

namespace auralyn::test {

// Runs the program in the folder with its standard error on a pseudo-terminal
// (standard input and output on /dev/null); returns what the terminal showed.
// `exitCode` gets the exit status.
std::string runWithTerminalStderr(const std::string& program, const std::vector<std::string>& args,
                                  const std::string& workingDirectory, int& exitCode);

}  // namespace auralyn::test
