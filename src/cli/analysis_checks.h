#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/sweep_analysis.h"
#include "cli/tone_table.h"
#include "clock/clock_figure.h"

namespace auralyn::cli {

// The columns of the tones' checks added: steady (true/false), flag (empty or
// the reason) and noise_source (residual, lead_in or silence).
std::vector<ToneColumn> withCheckColumns(std::vector<ToneColumn> columns);

// Every column but the frequency and the checks emptied for a tone that could
// not be placed after a jump: its numbers are no measurement.
std::vector<ToneColumn> withoutUnplacedValues(std::vector<ToneColumn> columns);

// The JSON's fields for the whole recording: "jumps" (each with its tone,
// time and size) and "clock_model" (constant or drifting, with its figures).
std::vector<SummaryField> checkSummaryFields(const analysis::SweepAnalysis& analysis, double sampleRate);

// "jump" when tones could not be placed after a jump, "unsettled" when the
// clock was refused and most tones were still ringing; else empty.
std::string checkStatus(const analysis::SweepAnalysis& analysis, const std::optional<clock::ClockFigure>& clock);

// Whether the clock's refusal is better named by the tones' checks: the room
// had not settled, or the timing jumped.
bool checksExplainClock(const analysis::SweepAnalysis& analysis);

// One message per cause found, each saying what to do; the clock's refusal
// named by its cause where the checks explain it.
void printCheckMessages(const std::string& path, const analysis::SweepAnalysis& analysis, double sampleRate,
                        const std::optional<clock::ClockFigure>& clock);

}  // namespace auralyn::cli
