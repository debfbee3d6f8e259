#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/recording_analysis.h"
#include "cli/tone_table.h"

namespace auralyn::cli {

// Where the sweep begins in the recording, and what gave that time base.
struct SweepStart {
    double delaySamples = 0.0;     // from the recording's first sample
    double delayU95Samples = 0.0;  // half-width of its 95 % interval
    double sampleRate = 0.0;       // Hz: turns the samples into seconds
    analysis::TimeBase sync = analysis::TimeBase::Sweep;
};

SweepStart sweepStart(const analysis::RecordingAnalysis& result, double sampleRate);

// The JSON's top-level delay_s, delay_u95_s and sync (null where the sweep was not found).
std::vector<SummaryField> startSummaryFields(const std::optional<SweepStart>& start);

// "Sweep begins at 1.540021 s (73921.030 samples, ±0.020), found by its tones".
std::string startLine(const SweepStart& start);

}  // namespace auralyn::cli
