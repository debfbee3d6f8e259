#include "analysis/clock_corrected_sweep.h"

#include <limits>

#include "analysis/clock_walk.h"
#include "analysis/recording_pulse.h"
#include "analysis/harmonic_fit.h"
#include "analysis/tone_layout.h"

namespace auralyn::analysis {
namespace {

double measuredFrequency(const ClockWalk& walk, std::size_t position) {
    if (position < walk.estimates.size() && walk.estimates[position].valid) return walk.estimates[position].frequency;
    return std::numeric_limits<double>::quiet_NaN();
}

// The tone's one fit: the joint fit of DC, the fundamental and its harmonics
// (harmonic_fit.h), whose fundamental is the three-parameter fit of IEEE Std
// 1057 freed of the harmonics' leakage. The quality analysis reuses it.
ClockCorrectedTone measureTone(const NominalTone& tone, const BlockPlacement& block,
                               const std::vector<Sample>& recording, double rate) {
    ClockCorrectedTone result;
    result.fit = fitHarmonics(recording.data() + block.first, static_cast<std::size_t>(block.count), block.firstTime,
                              block.frequency / rate);
    result.index = tone.index;
    result.nominalFrequency = tone.frequency;
    if (result.fit.valid) {
        result.amplitude = result.fit.amplitude(1);
        result.phase = result.fit.phase();
    }
    result.blockStart = block.start;
    result.blockLength = block.length;
    result.fittedFrequency = block.frequency;
    return result;
}

}  // namespace

ClockCorrectedSweep measureWithClockCorrection(const sweep::SweepPlan& plan, const std::vector<Sample>& recording) {
    const std::vector<NominalTone> tones = nominalTones(plan);
    ClockCorrectedSweep sweep;
    sweep.tonesExpected = static_cast<std::uint32_t>(tones.size());
    sweep.tonesMissing = sweep.tonesExpected;
    const auto trigger = findFirstTrigger(plan, recording);
    if (!trigger) return sweep;
    sweep.pulseFound = true;
    sweep.trigger = *trigger;
    const ClockWalk walk = walkClock(plan, tones, recording, *trigger);
    sweep.clock = walk.figure;
    sweep.pulsesFound = walk.pulsesFound;
    sweep.corrected = walk.figure.verdict == clock::ClockVerdict::Measured;
    const double ppm = sweep.corrected ? walk.figure.ppm : 0.0;
    const double rate = plan.params().sampleRate;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const BlockPlacement block = placeBlock(tones[i], static_cast<double>(*trigger), ppm);
        if (block.first + block.count > static_cast<std::int64_t>(recording.size())) break;
        ClockCorrectedTone tone = measureTone(tones[i], block, recording, rate);
        tone.measuredFrequency = measuredFrequency(walk, i);
        sweep.tones.push_back(tone);
    }
    sweep.tonesMissing = sweep.tonesExpected - static_cast<std::uint32_t>(sweep.tones.size());
    return sweep;
}

}  // namespace auralyn::analysis
