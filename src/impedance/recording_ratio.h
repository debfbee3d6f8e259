#pragma once

#include <cstdint>
#include <vector>

#include "impedance/wiring.h"
#include "analysis/recording_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::impedance {

// The two channels of an impedance recording: the driver's (or, across the
// resistor, the load's) and the one it is divided by.
struct ChannelPair {
    const std::vector<analysis::Sample>& driver;
    const std::vector<analysis::Sample>& drive;
    double step = 1.0;  // the samples' resolution: 1 for 16 bits, 1/256 for 24
};

struct RecordingRatio {
    std::vector<RatioTone> tones;
    analysis::RecordingAnalysis ratio;  // the clock-corrected analysis of driver over drive
};

// The ratio per tone from the clock-corrected analysis of the driver's
// channel over the other (measured in the same blocks, analysis.h), with the
// other channel's own level per tone (a second analysis of it alone).
RecordingRatio ratioOfRecording(const sweep::SweepPlan& plan, const ChannelPair& channels);

// One tone of that analysis as a ratio: the amplitude over full scale and
// the phase, with the intervals of its level and phase; not measured where
// either channel could not be fitted.
RatioTone ratioTone(const analysis::ToneMeasurement& tone);

}  // namespace auralyn::impedance
