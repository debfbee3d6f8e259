#include "measurer/recording_walk.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "measurer/sync_search.h"
#include "sweep/sweep_layout.h"

namespace auralyn::measurer {
namespace {

// The block buffer: replaced only when a tone longer than any before it comes.
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

// What the walk reads of one tone: with no drift allowance a block of whole
// cycles gets a tail of -1, and the generator starts the next tone on the
// block's last sample, which then belongs to the next tone. The window then
// begins that many samples early, inside the tone's own lead, so that it still
// holds the block's length of this tone's samples (whole cycles stay whole);
// with no lead to borrow from it is the block without its lost samples.
struct ToneWindow {
    std::int32_t lead = 0;    // samples skipped before the window
    std::int32_t length = 0;  // samples measured
    std::int32_t offset = 0;  // the window's first sample relative to the block's
    std::int32_t tail = 0;    // samples skipped after it
};

ToneWindow toneWindow(std::int32_t lead, std::int32_t length, std::int32_t tail) {
    if (tail >= 0 || length == 0) return {lead, length, 0, tail};
    const std::int32_t lost = std::min(-tail, length);
    const std::int32_t borrowed = std::min(lost, std::max(lead, 0));
    return {lead - borrowed, length - lost + borrowed, -borrowed, tail + lost};
}

// A skip the recording cannot make means it has ended: the walk then fails at
// its next read or search. A refusal after the last tone (its tail cut short)
// costs nothing, since that tail is never needed.
bool skipForward(wave::WaveFile& recording, std::int32_t count) {
    return count <= 0 || recording.skipSamples(count);
}

// A block longer than what remains of the samples is refused before its buffer
// is allocated, so a hostile parameter file costs memory only as far as the
// recording holds samples.
bool readBlock(wave::WaveFile& recording, ToneBuffer& buffer, std::int32_t length) {
    if (length == 0) return true;
    if (recording.remainingFrames() < length) return false;
    return buffer.reserve(length) && recording.readSamples(buffer.data(), length);
}

}  // namespace

WalkOutcome walkRecording(sweep::SweepPlan& plan, wave::WaveFile& recording, const ToneVisitor& visit) {
    const sweep::SweepParameters& p = plan.params();
    ToneBuffer buffer;
    WalkOutcome outcome;
    plan.rewind();
    bool ended = false;  // a skip was refused: the samples ran out
    for (;;) {
        if (plan.isSyncTone()) {
            if (ended) {
                outcome.end = WalkEnd::RecordingEnded;
                return outcome;
            }
            if (!findSyncPulse(plan, recording, sweep::syncSettlingSamples(p))) {
                outcome.end = WalkEnd::PulseNotFound;
                return outcome;
            }
        }
        const ToneWindow window =
            toneWindow(plan.settlingSamples(), p.toneLength > 0 ? p.toneLength : 0, plan.driftSamples());
        ended = ended || !skipForward(recording, window.lead);
        if (ended || !readBlock(recording, buffer, window.length)) {
            outcome.end = WalkEnd::RecordingEnded;
            return outcome;
        }
        ended = !skipForward(recording, window.tail);
        if (!visit(ToneBlock{p.toneIndex, p.toneFrequency, buffer.data(), window.length, window.offset})) {
            return outcome;
        }
        ++outcome.tonesVisited;
        outcome.peak = trackPeak(outcome.peak, buffer.data(), window.length);
        if (!plan.nextTone()) return outcome;
    }
}

double phaseAtBlockStart(double phase, const ToneBlock& block, std::uint32_t rate) {
    if (block.offset == 0 || rate == 0) return phase;
    constexpr double kPi = 3.141592653589793;
    const double turned = phase - block.offset * (2.0 * kPi * block.frequency / rate);
    return std::remainder(turned, 2.0 * kPi);
}

}  // namespace auralyn::measurer
