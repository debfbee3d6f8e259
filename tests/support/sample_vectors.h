#pragma once

#include <cstdint>
#include <vector>

namespace auralyn::test {

// 16-bit codes as the measuring library takes samples (floating point in the
// same units).
inline std::vector<float> asSamples(const std::vector<std::int16_t>& codes) {
    return std::vector<float>(codes.begin(), codes.end());
}

}  // namespace auralyn::test
