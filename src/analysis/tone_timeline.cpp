#include "analysis/tone_timeline.h"

namespace auralyn::analysis {

BlockPlacement placeOnTimeline(const NominalTone& tone, double trigger, const ToneTiming& timing) {
    return placeBlock(tone, trigger + timing.shift, timing.ppm);
}

double pulseOnTimeline(const NominalTone& tone, double trigger, const ToneTiming& timing) {
    return trigger + timing.shift + static_cast<double>(tone.pulseOffset) * (1.0 + timing.ppm * 1e-6);
}

std::vector<ToneTiming> constantTimeline(std::size_t tones, double ppm) {
    return std::vector<ToneTiming>(tones, ToneTiming{ppm, 0.0, true});
}

}  // namespace auralyn::analysis
