#pragma once

namespace auralyn::test {

// The sanitizer pass looks for memory and undefined-behaviour faults: it
// needs every code path once, not the statistical breadth of the release
// pass, so the slowest sweeps over settings take a subset there.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

}  // namespace auralyn::test
