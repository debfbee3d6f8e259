#include "analysis/jump_repair.h"

#include <algorithm>
#include <cmath>

namespace auralyn::analysis {

std::vector<Sample> withoutJumps(const std::vector<Sample>& recording, const std::vector<TimingJump>& jumps) {
    std::vector<Sample> repaired;
    repaired.reserve(recording.size());
    std::int64_t copied = 0;  // samples of the recording handled so far
    const auto size = static_cast<std::int64_t>(recording.size());
    for (const TimingJump& jump : jumps) {
        const std::int64_t at = std::clamp<std::int64_t>(jump.sample, copied, size);
        repaired.insert(repaired.end(), recording.begin() + copied, recording.begin() + at);
        copied = at;
        const auto samples = static_cast<std::int64_t>(std::llround(jump.samples));
        if (samples > 0) copied = std::min(size, copied + samples);
        if (samples < 0) repaired.insert(repaired.end(), static_cast<std::size_t>(-samples), Sample{0});
    }
    repaired.insert(repaired.end(), recording.begin() + copied, recording.end());
    // A size estimated from the tones may take out a little more than the jump
    // added; the tones after it are not measured, and the recording's end
    // must not look cut short for that.
    const bool estimated = std::any_of(jumps.begin(), jumps.end(), [](const TimingJump& j) { return !j.exact; });
    if (estimated && repaired.size() < recording.size()) repaired.resize(recording.size(), Sample{0});
    return repaired;
}

namespace {

// The first tone of a jump that only the later tones placed: the jump lies
// somewhere in or before its block, so its block, placed on the later tones'
// time base, may lie on either side of it, up to the whole jump away from the
// tone (180 degrees off at 50 Hz with 50 ms, its halves agreeing). Neither its
// level nor its phase is known; it keeps its gap flag and no values.
void leaveUnmeasured(ToneMeasurement& tone) {
    tone.placed = false;
    SteadinessCheck check = tone.steadiness.value_or(SteadinessCheck{});
    check.flag = ToneFlag::Gap;
    check.steady = false;
    tone.steadiness = check;
}

}  // namespace

void carryJumps(const SweepAnalysis& recorded, SweepAnalysis& repaired) {
    repaired.jumps = recorded.jumps;
    // The tone a jump lies in lost or gained samples: whatever its check saw, it is a gap.
    for (const TimingJump& jump : recorded.jumps) {
        for (ToneMeasurement& tone : repaired.tones) {
            if (tone.index != jump.tone) continue;
            if (jump.beforeOtherTones) leaveUnmeasured(tone);
            if (tone.steadiness && !tone.steadiness->steady) tone.steadiness->flag = ToneFlag::Gap;
        }
    }
    for (std::size_t i = 0; i < repaired.tones.size(); ++i) {
        if (placedAfterRepair(recorded, i)) continue;
        ToneMeasurement& tone = repaired.tones[i];
        tone.placed = false;
        SteadinessCheck check = tone.steadiness.value_or(SteadinessCheck{});
        check.flag = ToneFlag::Jump;
        check.steady = false;
        tone.steadiness = check;
    }
}

bool placedAfterRepair(const SweepAnalysis& recorded, std::size_t i) {
    if (i < recorded.tones.size()) return recorded.tones[i].placed;
    return std::all_of(recorded.tones.begin(), recorded.tones.end(), [](const ToneMeasurement& t) { return t.placed; });
}

}  // namespace auralyn::analysis
