#include "measurer/recording_walk.h"

#include <memory>
#include <new>

#include "measurer/sync_search.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

// The block buffer: replaced only when a tone longer than any before it comes.
// Left uninitialised, so a block length from a hostile parameter file costs
// memory only as far as the recording actually fills it.
class ToneBuffer {
public:
    // False when no buffer of that length can be had.
    bool reserve(std::int32_t length) {
        if (length <= capacity_) return true;
        samples_.reset();
        capacity_ = 0;
        samples_.reset(new (std::nothrow) std::int16_t[static_cast<std::size_t>(length)]);
        if (!samples_) return false;
        capacity_ = length;
        return true;
    }
    std::int16_t* data() const { return samples_.get(); }

private:
    std::unique_ptr<std::int16_t[]> samples_;
    std::int32_t capacity_ = 0;
};

// Skips whose refusal near the end of the data is left to the next read to
// notice. A tail of -1 (no drift allowance) steps back one sample, exactly as
// the generator started the next tone one sample early.
void skipQuietly(WaveFile& recording, std::int32_t count) {
    if (count != 0) recording.skipSamples(count);
}

bool readBlock(WaveFile& recording, std::int16_t* buffer, std::int32_t length) {
    return length == 0 || recording.readSamples(buffer, length);
}

}  // namespace

WalkOutcome walkRecording(SweepPlan& plan, WaveFile& recording, const ToneVisitor& visit) {
    const SweepParameters& p = plan.params();
    ToneBuffer buffer;
    WalkOutcome outcome;
    plan.rewind();
    for (;;) {
        if (plan.isSyncTone()) {
            skipQuietly(recording, syncSettlingSamples(p));
            if (!findSyncPulse(plan, recording)) {
                outcome.end = WalkEnd::PulseNotFound;
                return outcome;
            }
        }
        skipQuietly(recording, plan.settlingSamples());
        const std::int32_t length = p.toneLength > 0 ? p.toneLength : 0;
        if (!buffer.reserve(length) || !readBlock(recording, buffer.data(), length)) {
            outcome.end = WalkEnd::RecordingEnded;
            return outcome;
        }
        skipQuietly(recording, plan.driftSamples());
        if (!visit(ToneBlock{p.toneIndex, p.toneFrequency, buffer.data(), length})) return outcome;
        ++outcome.tonesVisited;
        outcome.peak = trackPeak(outcome.peak, buffer.data(), length);
        if (!plan.nextTone()) return outcome;
    }
}

}  // namespace auralyn
