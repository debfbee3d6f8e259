#include "analysis/clipping.h"

#include <cmath>
#include <cstdint>

namespace auralyn::analysis {
namespace {

// Eight magnitudes side by side (GCC and Clang vector extension): the block's
// loudest sample, and whether any is not below 32767 (a NaN counts, as in the
// walk below), without a branch per sample.
using Eight = float __attribute__((vector_size(32)));
using EightMask = std::int32_t __attribute__((vector_size(32)));

struct Loudest {
    float magnitude = 0.0f;
    bool reachesFullScale = false;
};

Loudest loudestOf(const Sample* samples, std::size_t count) {
    constexpr float kTop = 32767.0f;
    const Eight top = {kTop, kTop, kTop, kTop, kTop, kTop, kTop, kTop};
    Eight loudest = {};
    EightMask reaching = {};
    std::size_t n = 0;
    for (; n + 8 <= count; n += 8) {
        Eight v;
        for (int i = 0; i < 8; ++i) v[i] = std::fabs(samples[n + static_cast<std::size_t>(i)]);
        loudest = v > loudest ? v : loudest;
        reaching |= ~(v < top);
    }
    Loudest result;
    for (int i = 0; i < 8; ++i) {
        result.magnitude = loudest[i] > result.magnitude ? loudest[i] : result.magnitude;
        result.reachesFullScale = result.reachesFullScale || reaching[i] != 0;
    }
    for (; n < count; ++n) {
        const float magnitude = std::fabs(samples[n]);
        result.magnitude = magnitude > result.magnitude ? magnitude : result.magnitude;
        result.reachesFullScale = result.reachesFullScale || !(magnitude < kTop);
    }
    return result;
}

// The runs at full scale, walked sample by sample only in a block that reaches it.
void countFullScale(const Sample* samples, std::size_t count, ClipCheck& check) {
    std::size_t run = 0;
    for (std::size_t n = 0; n < count; ++n) {
        // A 24-bit recorder's top codes lie between 32767 and full scale.
        if (std::fabs(samples[n]) < 32767.0f) {
            run = 0;
            continue;
        }
        ++check.samplesAtFullScale;
        if (++run > check.longestRunAtFullScale) check.longestRunAtFullScale = run;
    }
}

}  // namespace

ClipCheck checkClipping(const Sample* samples, std::size_t count) {
    ClipCheck check;
    if (samples == nullptr) return check;
    const Loudest top = loudestOf(samples, count);
    if (top.reachesFullScale) countFullScale(samples, count, check);
    const float loudest = top.magnitude;
    // Rounding never reverses an order, so the loudest sample's code is the
    // largest code: one rounding per block instead of one per sample.
    check.peak = loudest >= 32768.0f ? 32768 : static_cast<int>(std::lround(loudest));
    return check;
}

}  // namespace auralyn::analysis
