#include "analysis/clipping.h"

#include <cmath>

namespace auralyn::analysis {

ClipCheck checkClipping(const Sample* samples, std::size_t count) {
    ClipCheck check;
    if (samples == nullptr) return check;
    std::size_t run = 0;
    float loudest = 0.0f;
    for (std::size_t n = 0; n < count; ++n) {
        const float magnitude = std::fabs(samples[n]);
        loudest = magnitude > loudest ? magnitude : loudest;
        // A 24-bit recorder's top codes lie between 32767 and full scale.
        if (magnitude < 32767.0f) {
            run = 0;
            continue;
        }
        ++check.samplesAtFullScale;
        if (++run > check.longestRunAtFullScale) check.longestRunAtFullScale = run;
    }
    // Rounding never reverses an order, so the loudest sample's code is the
    // largest code: one rounding per block instead of one per sample.
    check.peak = loudest >= 32768.0f ? 32768 : static_cast<int>(std::lround(loudest));
    return check;
}

}  // namespace auralyn::analysis
