#include "analysis/tone_layout.h"

#include <cmath>

#include "sweep/sweep_layout.h"

namespace auralyn::analysis {

std::vector<NominalTone> nominalTones(const sweep::SweepPlan& schedule) {
    sweep::SweepPlan plan = schedule;
    const sweep::SweepParameters& p = plan.params();
    // The walk may yield one tone past toneCount() when the end frequency falls
    // on a tone; that tone is played and measured too.
    const std::uint64_t count = std::uint64_t{plan.toneCount()} + 1;
    std::vector<NominalTone> tones;
    std::int64_t offset = 0;  // the next sample the generator writes
    plan.rewind();
    do {
        if (p.toneIndex >= count) break;
        NominalTone tone;
        tone.index = p.toneIndex;
        tone.frequency = p.toneFrequency;
        tone.syncBefore = plan.isSyncTone();
        if (tone.syncBefore) {
            // Tone 0's pulse is the origin; later ones follow their silence.
            if (p.toneIndex != 0) offset += sweep::syncSettlingSamples(p) + sweep::syncDriftSamples(p);
            tone.pulseOffset = offset;
            offset += sweep::syncPulseSamples(p);
        }
        offset += plan.settlingSamples();
        tone.blockOffset = offset;
        tone.length = p.toneLength > 0 ? p.toneLength : 0;
        offset += tone.length + plan.driftSamples();
        tones.push_back(tone);
    } while (plan.nextTone());
    return tones;
}

BlockPlacement placeBlock(const NominalTone& tone, double trigger, double ppm) {
    const double ratio = 1.0 + ppm * 1e-6;
    BlockPlacement block;
    block.start = trigger + static_cast<double>(tone.blockOffset) * ratio;
    block.length = static_cast<double>(tone.length) * ratio;
    block.frequency = tone.frequency / ratio;
    const double first = std::ceil(block.start);
    const double end = std::ceil(block.start + block.length);
    block.first = static_cast<std::int64_t>(first);
    block.count = static_cast<std::int32_t>(end - first);
    block.firstTime = first - block.start;
    return block;
}

}  // namespace auralyn::analysis
