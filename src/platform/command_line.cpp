#include "platform/command_line.h"

#include <cstdio>
#include <cstring>

#include "platform/product.h"

namespace auralyn::platform {

int handleCommandLine(int argc, char** argv, const char* programName, const char* usage) {
    if (argc <= 1) return -1;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s (%s) %s\n", programName, kProductName, kProductVersion);
        return 0;
    }
    std::fputs(usage, stderr);
    return 2;
}

}  // namespace auralyn::platform
