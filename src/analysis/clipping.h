#pragma once

#include <cstddef>
#include <cstdint>

#include "analysis/sample.h"

namespace auralyn::analysis {

struct ClipCheck {
    int peak = 0;                  // largest magnitude, rounded to a 16-bit code; -32768 counts as 32768
    std::size_t samplesAtFullScale = 0;  // samples at +32767 or at -32767 and below
    std::size_t longestRunAtFullScale = 0;  // most consecutive such samples: 2 and more is a flat top
    bool touchesFullScale() const { return samplesAtFullScale > 0; }
};

// Whether a block reaches the ends of the 16-bit range, where a recorder
// clips: the caller names the tones that did. A sweep at full scale touches
// them by design; the count tells a grazing peak from a flattened top.
ClipCheck checkClipping(const Sample* samples, std::size_t count);

}  // namespace auralyn::analysis
