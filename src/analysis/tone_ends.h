#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "analysis/timing_jumps.h"

namespace auralyn::analysis {

// How far the tones alone are searched for their new place (seconds).
inline constexpr double kLongestJumpSeconds = 1.0;
// A steady tone this far below the one before it (12 dB) is taken for a block
// that lies in another tone, not for the response falling.
inline constexpr double kLevelAfterJump = 0.25;

// A block is taken as the tone's only where it is steady and holds the
// tone at its level: a block wholly in another tone fits a tiny, steady nothing.
inline bool holdsTone(const TrialBlock& b, double loudest) {
    return b.inside && b.steady && b.amplitude >= 0.5 * loudest;
}

// The timing moved by `samples` more.
inline ToneTiming shiftedBy(ToneTiming t, double samples) {
    t.shift += samples;
    return t;
}

// Where each tone's tone ends in the recording, from the shifts at which its
// block still holds it steadily: what the tones alone say of a jump's size,
// and of which side of it a tone lies on (timing_jumps.h). The timeline is
// read as the search moves it.
class ToneEnds {
public:
    ToneEnds(const JumpSearch& search, const std::vector<ToneTiming>& timeline) : s_(search), timeline_(timeline) {}

    struct Range {
        double low = 0.0, high = 0.0;
        double loudest = 0.0;  // the tone's amplitude in its steadiest block
        double width() const { return high - low; }
        double middle() const { return 0.5 * (low + high); }
    };

    // The shifts that leave tone i steady at its own level: the run of them
    // around the one with the loudest steady block.
    std::optional<Range> validShifts(std::size_t i) const;

    // A low tone's block holds its tone steadily through a jump shorter than
    // its period and the settling time: the steady tones before the run may
    // lie after the jump as well, their phases turned by it. Each, from the
    // run back to the anchor, is put on the side whose tones' ends (toneEnd)
    // it shares: that of the tones after the run (`laterEnd`), or its own
    // place on the timeline (an end near 0); the first that keeps its place,
    // or whose end cannot be told, lies before the jump. (The anchor's tone
    // itself may hold the jump and end where the loss began: it is no
    // measure of where the tones before the jump end.)
    std::size_t firstAfterJump(std::size_t anchor, std::size_t k, double laterEnd) const;

    // The size of a jump before tone k from the tones after it, each against
    // tone k - 1's `home`: the ends of the ranges, where each block meets the
    // next tone, are what a jump moves (their starts are blurred by what the
    // settling time leaves of the tone before, and a jump shorter than it
    // leaves the moved range's start where the old one's was). A loss longer
    // than a tone takes whole tones away, whose frequency then fits only the
    // leakage of others: a later tone counts where it stands at a quarter of
    // tone k - 1's level or more, and two of them must agree (one where no
    // other is left). A gain that changes along the recording leaves its
    // tones unsteady too, and some of them steady somewhere else by chance,
    // but not two in a row at one distance.
    std::optional<double> sizeFromLaterTones(std::size_t k, const Range& home, double homeEnd) const;

    // Where tone i's tone ends, from the highest shift its block stays steady
    // at. A low tone's block stays steady for about one period of shift (480
    // samples at 100 Hz and 48 kHz), a high one's up to the room the layout
    // leaves after its block (its drift allowance and the margin before the
    // next tone, tens of samples); the period is taken off, and what is left
    // differs between neighbouring tones by up to that room: sizes come out
    // within a few per cent and a dozen samples, their sign right.
    double toneEnd(std::size_t i, double highestShift) const;

    // The largest shift from a valid `from` at which tone i's block still
    // holds it steadily, to a sample: where the block meets the next tone.
    // Searched in doubling steps up to `reach`; empty where it goes on beyond.
    std::optional<double> highEdge(std::size_t i, double from, double reach, double loudest) const;

    // How far the ends of tones `later` lie from those of tones `earlier`
    // (tone_end), each pair within `reach` of its place and holding the tone
    // at the louder one's level; empty where a pair cannot tell.
    std::optional<double> endsMoved(std::size_t earlier, std::size_t later, double reach) const;

    // What toneEnd may be wrong by at tone i: a sample or two at high
    // frequencies, a good part of a period at low ones, more where noise or a
    // burst near its end hides where the next tone begins.
    double endTolerance(std::size_t i) const;

private:
    std::size_t usable() const { return std::min(s_.tones.size(), timeline_.size()); }
    double rate() const { return s_.plan.params().sampleRate; }
    ToneTiming movedBy(std::size_t i, double samples) const { return shiftedBy(timeline_[i], samples); }
    bool validAt(std::size_t i, double samples, double loudest) const;
    // The edge of the valid shifts between a valid `inner` and an invalid `outer`, to a sample.
    double edge(std::size_t i, double inner, double outer, double loudest) const;

    const JumpSearch& s_;
    const std::vector<ToneTiming>& timeline_;
};

}  // namespace auralyn::analysis
