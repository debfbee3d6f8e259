#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/recording_analysis.h"
#include "cli/tone_table.h"

namespace auralyn::cli {

// Where the sweep begins in the recording, and what gave that time base.
struct SweepStart {
    double delaySamples = 0.0;
    double delayU95Samples = 0.0;
    double sampleRate = 0.0;
    std::string sync;  // "pulse", "sweep" or "reference"
};

SweepStart sweepStart(const analysis::RecordingAnalysis& result, double sampleRate);

// The JSON's top-level delay_s, delay_u95_s and sync (null where the sweep was not found).
std::vector<SummaryField> startSummaryFields(const std::optional<SweepStart>& start);

// "Sweep begins at 1.540021 s (73921.03 samples, ±0.02), timed by its tones".
std::string startLine(const SweepStart& start);

}  // namespace auralyn::cli
