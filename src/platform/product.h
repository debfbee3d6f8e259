#pragma once

namespace auralyn::platform {

inline constexpr const char* kProductName = "Auralyn";
inline constexpr const char* kProductVersion = "1.0";

}  // namespace auralyn::platform
