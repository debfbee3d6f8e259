#pragma once

#include <ctime>
#include <string>

namespace auralyn::platform {

// `moment` in UTC, written with strftime's `format` (at most 63 characters);
// empty where the system cannot break the moment down or the text is longer.
std::string utcText(std::time_t moment, const char* format);

}  // namespace auralyn::platform
