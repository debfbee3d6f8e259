#pragma once

namespace auralyn::platform {

// The programs take no arguments but --help and --version. Returns -1 when the
// program should run its normal course (no arguments at all); otherwise the
// exit code after printing: 0 for --help (usage on standard output) and
// --version, 2 for anything else (usage on standard error).
int handleCommandLine(int argc, char** argv, const char* programName, const char* usage);

}  // namespace auralyn::platform
