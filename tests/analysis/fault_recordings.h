#pragma once

// Recordings with the faults real rooms, players and recorders bring, made
// here by direct synthesis of the played sweep (drifted_sweep.h), not by the
// kit's device simulator.
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "analysis/recording_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::test {

// The sweep at `gain` of full scale on one clock, with white noise of
// standard deviation `noise` (sample units), rounded to 16 bits.
std::vector<std::int16_t> noisySweep(const sweep::SweepPlan& plan, double gain, double noise, std::mt19937& random);

// Rounded to 16 bits, clamped to the range.
std::vector<std::int16_t> rounded(const std::vector<double>& signal);

// Where tone `tone`'s measured block starts in a recording on one clock whose first pulse is where it was played.
std::int64_t blockStartOf(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording, std::size_t tone);
std::int32_t blockLengthOf(const sweep::SweepPlan& plan, std::size_t tone);

// Adds added(n, length) (sample units, rounded) to each sample n of tone
// `tone`'s measured block.
void addDuringTone(const sweep::SweepPlan& plan, std::vector<std::int16_t>& recording, std::size_t tone,
                   const std::function<double(std::int32_t, std::int32_t)>& added);

analysis::RecordingAnalysis analyzed(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& recording);

// samples > 0: that many zeros put in at `at` (a player's stall or underrun);
// < 0: that many samples taken out there (a recorder's lost buffer).
std::vector<std::int16_t> withJump(std::vector<std::int16_t> recording, std::int64_t at, int samples);

// How the tones from `from` on hold the truth of a sweep synthesised at
// `gain` of full scale: 20 log10(gain) dB and phase 0 at every tone's block
// start. Counts the tones placed, steady and measured, how many of them hold
// the magnitude and the phase inside their 95 % intervals, and the tones not
// placed at all. The phases get a hundredth of a sample (360 f n / R degrees)
// more: the clock figure's and the time origin's own uncertainties are not in
// their intervals, and a tone measured at a wrong place is off by whole samples.
struct TruthCoverage {
    std::size_t measured = 0;
    std::size_t magnitudeInside = 0;
    std::size_t phaseInside = 0;
    std::size_t unplaced = 0;
};
TruthCoverage truthCoverage(const analysis::RecordingAnalysis& a, std::size_t from, double gain, double sampleRate);

// Tones of the analysis with the given steadiness flag.
std::size_t countFlag(const analysis::RecordingAnalysis& a, analysis::ToneFlag flag);
std::size_t countUnsteady(const analysis::RecordingAnalysis& a);

}  // namespace auralyn::test
