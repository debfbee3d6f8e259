#include "measurer/sync_search.h"

#include <cstdlib>

#include "sweep/sweep_layout.h"

namespace auralyn {

bool findSyncPulse(const SweepPlan& plan, WaveFile& recording) {
    const std::int16_t threshold = static_cast<std::int16_t>(percentToAmplitude(plan.params().syncThreshold));
    std::int16_t sample = 0;
    do {
        if (!recording.readSample(&sample)) return false;
    } while (std::abs(static_cast<std::int32_t>(sample)) < threshold);
    // The trigger sample is the pulse's first; a pulse shorter than one sample
    // leaves nothing more to skip.
    const std::int32_t rest = syncPulseSamples(plan.params()) - 1;
    if (rest <= 0) return true;
    return recording.skipSamples(rest);
}

std::uint16_t trackPeak(std::uint16_t peak, const std::int16_t* samples, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t magnitude = std::abs(static_cast<std::int32_t>(samples[i]));
        if (peak < static_cast<std::uint16_t>(magnitude)) peak = static_cast<std::uint16_t>(magnitude);
    }
    return peak;
}

}  // namespace auralyn
