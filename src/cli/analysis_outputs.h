#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "clock/clock_figure.h"
#include "analysis/sweep_analysis.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {

enum class OutputKind { Report, Csv, Json };

struct OutputRequest {
    OutputKind kind;
    std::string path;
};

// What the outputs of one analysis are made from.
struct AnalysisDocument {
    const sweep::SweepPlan& plan;
    std::string recordedName;  // as the report's header names it: no folder, with extension
    const analysis::SweepAnalysis& analysis;
    const clock::ClockFigure* clock = nullptr;  // the clock found; nullptr: none (correction off, no pulse)
};

// echoprobe's report into the stream: the header, then the table of the first
// reportRows tones (as echoprobe writes it after a complete walk).
void writeReport(const AnalysisDocument& document, std::FILE* out);
// Every measured tone, the extra one included.
std::string csvText(const AnalysisDocument& document);
std::string jsonText(const AnalysisDocument& document);

// Writes each output under a temporary name and renames it when complete;
// prints why for each one that failed (nothing of it is left).
bool writeOutputs(const AnalysisDocument& document, const std::vector<OutputRequest>& outputs);

// The peak as echoprobe prints it: peak x (1/32767) x 100, the factor in
// extended precision.
double peakPercent(std::uint16_t peak);

}  // namespace auralyn::cli
