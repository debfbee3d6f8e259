#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace auralyn::analysis {

// The upper median of the values (the middle one of an odd count), 0 for
// none: the robust level the noise checks compare against, found without a
// full sort.
inline double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace auralyn::analysis
