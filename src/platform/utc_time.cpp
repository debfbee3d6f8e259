#include "platform/utc_time.h"

namespace auralyn::platform {

std::string utcText(std::time_t moment, const char* format) {
    std::tm parts{};
    // The reentrant breakdown: Windows has gmtime_s (arguments swapped), POSIX gmtime_r.
#ifdef _WIN32
    if (gmtime_s(&parts, &moment) != 0) return {};
#else
    if (gmtime_r(&moment, &parts) == nullptr) return {};
#endif
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

}  // namespace auralyn::platform
