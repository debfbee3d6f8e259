#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace auralyn::sweep {

// Converting a double outside the target range to an integer is undefined
// behaviour, so every sample count passes through these. Loaded records are
// checked so that the saturation never triggers; it only guards plans that
// the setters let drift into nonsense.
inline bool fitsInt32(double x) {
    return x > -2147483649.0 && x < 2147483648.0;  // NaN fails both
}

inline std::int32_t truncateToInt32(double x) {
    if (std::isnan(x)) return 0;
    if (x <= -2147483649.0) return std::numeric_limits<std::int32_t>::min();
    if (x >= 2147483648.0) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(x);
}

inline std::uint32_t truncateToUint32(double x) {
    if (!(x > -1.0)) return 0;  // NaN too
    if (x >= 4294967296.0) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(x);
}

}  // namespace auralyn::sweep
