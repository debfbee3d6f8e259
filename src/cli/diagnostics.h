#pragma once

#include <cstdio>
#include <string>

namespace auralyn::cli {

// Every message on standard error starts with the program's name.
inline void printDiagnostic(const std::string& text) {
    std::fprintf(stderr, "auralyn: %s\n", text.c_str());
    std::fflush(stderr);
}

}  // namespace auralyn::cli
