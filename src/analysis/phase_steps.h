#pragma once

#include <cstddef>
#include <vector>

namespace auralyn::analysis {

// One tone's phase as the jump search from phases takes it.
struct TonePhase {
    double frequency = 0.0;  // Hz
    double phase = 0.0;      // radians at the block's start, on the timeline being tested
    double sd = 0.0;         // radians, its standard uncertainty from the noise of its fit
    bool usable = false;     // a steady, clear fit inside the recording
};

// A step of the timing that the phases show: every tone from `tone` on lies
// `samples` later (negative: earlier) than the tones before it say.
struct PhaseStep {
    std::size_t tone = 0;  // the first tone after the last usable one before the step
    double samples = 0.0;  // whole samples
};

// The smallest jumps a recorder makes (one sample dropped or repeated) move no
// tone out of its block far enough to be seen as unsteady, and no sync pulse
// far enough to be told from its place; they turn every later tone's phase by
// 2 pi f n / R, in proportion to its frequency. Between tones of a smooth
// response that is a step: around each pair of neighbouring usable tones,
// four on each side are fitted with a quadratic in frequency by weighted
// least squares, once as they are and once with the later ones turned back
// by each whole number of samples up to kLongestPhaseStep. A step is taken
// where one such number explains nearly all that the quadratic leaves (an
// F-like ratio of the misfits, robust to a response that is not quite
// quadratic) by far more than the noise, and no other number comes close;
// the strongest step is taken first and the search repeated with it
// removed. A response with a feature sharper than its tones' spacing is
// left alone (nothing explains it as one step).
//
// A longer jump that still leaves every block inside its own tone (a player
// that stalled, or a recorder that lost a buffer, between two blocks: up to
// the layout's settling time and drift allowance, `longest` samples) turns
// the later phases by many cycles. Those steps are searched over every whole
// number of samples up to `longest` with more tones after the boundary, and
// taken only where one number leaves a misfit at the level of the noise that
// no other number comes near: with thousands of numbers to choose from, a
// rough response must not be mistaken for a step.
std::vector<PhaseStep> findPhaseSteps(const std::vector<TonePhase>& tones, double rate, int longest = 0);

inline constexpr int kLongestPhaseStep = 8;

}  // namespace auralyn::analysis
