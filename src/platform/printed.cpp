#include "platform/printed.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace auralyn::platform {

std::string printed(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        va_end(args);
        return {};
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    return std::string(text.data(), static_cast<std::size_t>(length));
}

}  // namespace auralyn::platform
