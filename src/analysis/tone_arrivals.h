#pragma once

#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/tone_layout.h"

namespace auralyn::analysis {

// Per tone of `nominal` (the schedule, in order), how many samples as played
// its block should be taken later (negative: earlier) than the sweep's common
// placement, so that it lies where that very tone arrives: a device whose
// group delay varies along the sweep (a woofer's low-pass) delays its low
// tones by far more than its high ones, and one start for all of them, which
// the loud low tones set, leaves the high tones' blocks running into the
// next tone. `fitted` are the tones fitted at the common placement from
// `trigger` (schedule order, as many as the recording holds). A tone keeps
// its place (0) where its arrival is not told clearly, or lies within
// kToleratedSlip samples of the common one; beyond that, its block is moved
// by the excess only. Empty where no block moves. The arrivals are read in
// recording samples and taken as played ones: a clock within a thousandth of
// the sweep's changes them by a fraction of a sample, and a block's phase
// stays referred to its common place whatever samples it holds.
std::vector<double> toneLeads(const std::vector<ClockCorrectedTone>& fitted, const std::vector<NominalTone>& nominal,
                              double trigger, double rate);

// `nominal` with each tone's block moved by its lead (none where `leads` is empty).
std::vector<NominalTone> withLeads(std::vector<NominalTone> nominal, const std::vector<double>& leads);

// What a block may lie off its tone's arrival and still measure it: the
// layout keeps a long settling after each tone's start and 48 samples before
// the next tone, and blocks placed up to this far off (a 200 Hz low-pass
// puts its high tones 44 samples early) have always measured within their
// limits. Such blocks stay where they are, so that the placements that
// measure well keep measuring the same samples.
inline constexpr double kToleratedSlip = 32.0;

}  // namespace auralyn::analysis
