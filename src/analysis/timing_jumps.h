#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/tone_timeline.h"
#include "sweep/sweep_plan.h"

#include "analysis/sample.h"

namespace auralyn::analysis {

// A tone's block on a trial timing, as the jump search judges it.
struct TrialBlock {
    bool inside = false;     // the block lies within the recording
    bool steady = false;     // its halves agree and it holds no gap (tone_steadiness.h)
    double amplitude = 0.0;  // its fitted fundamental, sample units
};

struct JumpSearch {
    const sweep::SweepPlan& plan;
    const std::vector<NominalTone>& tones;
    const std::vector<Sample>& recording;  // the channel the pulses are found in
    std::int64_t trigger = 0;
    double clockU95Ppm = 0.0;
    std::function<TrialBlock(std::size_t tone, const ToneTiming& timing)> tryBlock;
};

// Finds where the recording's timing jumps (a player's underrun, a recorder's
// dropped buffer) and moves the tones after each jump in `timeline`.
//
// Each later sync pulse is searched around where the timeline puts it, far
// enough to find one that moved: one found more than a sample (and what the
// clock may be wrong by) from its place measures a jump to the sample
// (recorders drop and insert whole samples). Between it and the last pulse
// in place the tones say where it lies: one steady at its old place and not
// at its new one comes before the jump, the reverse after it; one steady at
// neither holds the jump; one steady at both cannot tell, and is left unplaced
// unless the jump turns its phase by a negligible amount.
//
// After the last pulse (or with none) the tones alone: a run of unsteady
// tones to the end, after steady ones, is a jump; its size is estimated from
// the shifts that make the tones after it steady again (the middle of that
// range against the same range of a tone before it), which gives no phase,
// so the tones after it are left unplaced.
std::vector<TimingJump> findJumps(const JumpSearch& search, std::vector<ToneTiming>& timeline);

// Marks whether the sweep has later sync pulses, and whether one is due
// after a jump that moved tone `at` (index into `tones`): what can be said of
// a jump whose size the tones only estimate.
void notePulsesAfter(const std::vector<NominalTone>& tones, std::size_t at, TimingJump& jump);

// A first sync pulse that the tones outvoted: most of them lie `samples`
// from where it puts them (`search.trigger` is the pulse's), as when the
// timing jumped early in the sweep. Whether the first tone that holds steady
// at only one of the two places holds at the pulse's, or the first that tells
// holds steady at neither (it holds the jump; it may be the very first tone)
// before one steady only at the later place: then the pulse is right for the
// tones before the jump, and is kept as the time base; so it is where a later
// pulse among the tones steady at both places lies where the first puts it.
// A click taken for the pulse, or a pulse the device smeared, has no tone on
// its side.
bool firstTonesSideWithPulse(const JumpSearch& search, double samples, std::vector<ToneTiming> timeline);

// Where the tones outvoted the first pulse by `samples`: the first tone that
// holds steady only at their place, when every tone before it holds steady
// at both (and so cannot tell which side of a jump it lies on); empty
// where another tone tells first.
std::optional<std::size_t> firstToneOnlyAfter(const JumpSearch& search, double samples,
                                              std::vector<ToneTiming> timeline);

}  // namespace auralyn::analysis
