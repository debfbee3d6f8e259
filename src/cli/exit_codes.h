#pragma once

namespace auralyn::cli {

// auralyn's exit statuses: done, failed, refused as asked (a usage error).
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

}  // namespace auralyn::cli
