#include "analysis/clipping.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace auralyn::analysis {
namespace {

// A sample's magnitude as the bits of its float: a non-negative float orders
// as its bits do as an integer, so the block is searched with integer
// comparisons, which vectorize without a branch. A NaN's bits order above
// infinity's: it counts as reaching full scale, as in the walk below.
std::int32_t magnitudeBits(Sample sample) {
    return static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(sample) & 0x7fffffffu);
}

// 32767 and above: a 24-bit recorder's top codes lie between 32767 and full scale.
const std::int32_t kTopBits = magnitudeBits(32767.0f);

// Samples looked at together before the walk goes sample by sample: a tone at
// full scale touches it only at its crests, so most stretches hold none.
constexpr std::size_t kStretch = 32;

struct StretchTop {
    std::int32_t loudest = 0;  // magnitude bits
    bool reaches = false;
};

StretchTop topOf(const Sample* samples, std::size_t count) {
    std::int32_t loudest = 0;
    std::int32_t reaches = 0;
    for (std::size_t n = 0; n < count; ++n) {
        const std::int32_t magnitude = magnitudeBits(samples[n]);
        loudest = magnitude > loudest ? magnitude : loudest;
        reaches |= magnitude >= kTopBits ? 1 : 0;
    }
    return {loudest, reaches != 0};
}

// The samples at full scale in one stretch, and the run that goes on through it.
void walkStretch(const Sample* samples, std::size_t count, std::size_t& run, ClipCheck& check) {
    for (std::size_t n = 0; n < count; ++n) {
        if (std::fabs(samples[n]) < 32767.0f) {
            run = 0;
            continue;
        }
        ++check.samplesAtFullScale;
        if (++run > check.longestRunAtFullScale) check.longestRunAtFullScale = run;
    }
}

// The loudest magnitude that is a number (a NaN never counts as the loudest).
float loudestNumber(const Sample* samples, std::size_t count) {
    float loudest = 0.0f;
    for (std::size_t n = 0; n < count; ++n) {
        const float magnitude = std::fabs(samples[n]);
        loudest = magnitude > loudest ? magnitude : loudest;
    }
    return loudest;
}

}  // namespace

ClipCheck checkClipping(const Sample* samples, std::size_t count) {
    ClipCheck check;
    if (samples == nullptr) return check;
    std::int32_t loudestBits = 0;
    std::size_t run = 0;
    for (std::size_t first = 0; first < count; first += kStretch) {
        const std::size_t length = std::min(kStretch, count - first);
        const StretchTop top = topOf(samples + first, length);
        loudestBits = std::max(loudestBits, top.loudest);
        if (top.reaches) {
            walkStretch(samples + first, length, run, check);
        } else {
            run = 0;
        }
    }
    const float bitsLoudest = std::bit_cast<float>(loudestBits);
    const float loudest = std::isnan(bitsLoudest) ? loudestNumber(samples, count) : bitsLoudest;
    // Rounding never reverses an order, so the loudest sample's code is the
    // largest code: one rounding per block instead of one per sample.
    check.peak = loudest >= 32768.0f ? 32768 : static_cast<int>(std::lround(loudest));
    return check;
}

}  // namespace auralyn::analysis
