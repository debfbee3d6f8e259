#include "analysis/clipping.h"

#include <cstdlib>

namespace auralyn::analysis {

ClipCheck checkClipping(const std::int16_t* samples, std::size_t count) {
    ClipCheck check;
    if (samples == nullptr) return check;
    std::size_t run = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const int magnitude = std::abs(static_cast<int>(samples[n]));
        if (magnitude > check.peak) check.peak = magnitude;
        if (magnitude < 32767) {
            run = 0;
            continue;
        }
        ++check.samplesAtFullScale;
        if (++run > check.longestRunAtFullScale) check.longestRunAtFullScale = run;
    }
    return check;
}

}  // namespace auralyn::analysis
