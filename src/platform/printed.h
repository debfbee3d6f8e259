#pragma once

#include <string>

namespace auralyn::platform {

// printf's formatting into a string, as long as it needs to be. Numbers come
// out as in the C locale, the only one the kit runs in.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string printed(const char* format, ...);

}  // namespace auralyn::platform
