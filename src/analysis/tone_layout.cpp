#include "analysis/tone_layout.h"

#include <algorithm>
#include <cmath>

#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

// A recorder's anti-aliasing filter is linear-phase (a windowed sinc, a
// decimator's FIR): its response to the step of the next tone begins half its
// length early. Near the band's edge that pre-ringing stands far above the
// noise in a block whose tail is only the drift allowance (9 samples at
// 15 kHz and 48 kHz), and the block's halves then disagree, which reads as a
// jump. The block ends kPreRingingGuard samples before the next tone (what
// the ringing of a 96-tap windowed sinc has left there is below 1e-4 of the
// step, under a 16-bit noise floor for most tones), giving
// up at most a quarter of itself for it; the fits do not need whole cycles.
constexpr std::int32_t kPreRingingGuard = 48;

std::int32_t clearOfNextTone(std::int32_t length, std::int32_t tail) {
    const std::int32_t wanted = kPreRingingGuard - std::max(0, tail);
    if (wanted <= 0) return length;
    return length - std::min(wanted, length / 4);
}

}  // namespace

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
        tone.toneOffset = offset;
        offset += plan.settlingSamples();
        tone.blockOffset = offset;
        tone.length = p.toneLength > 0 ? p.toneLength : 0;
        const std::int32_t tail = plan.driftSamples();
        offset += tone.length + tail;
        tone.toneEnd = offset;
        // With no drift allowance nothing of the tone follows its block, and a
        // tail of -1 even gives the block's last sample to what follows (the
        // next tone, or a pulse). A block placed a hair later than a whole
        // sample (placeBlock rounds its end up) would then take in that next
        // sample, a pulse's full scale. The block keeps a sample's margin
        // inside the tone; the fits do not need whole cycles.
        if (tail <= 0) tone.length = std::max(0, tone.length + tail - 1);
        tone.length = clearOfNextTone(tone.length, tail);
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
    block.lead = tone.blockLead * ratio;
    const double first = std::ceil(block.start + block.lead);
    const double end = std::ceil(block.start + block.lead + block.length);
    block.first = static_cast<std::int64_t>(first);
    block.count = static_cast<std::int32_t>(end - first);
    block.firstTime = first - block.start;
    return block;
}

}  // namespace auralyn::analysis
