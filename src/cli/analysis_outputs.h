#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "analysis/sweep_analysis.h"
#include "cli/tone_table.h"
#include "clock/clock_figure.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {

enum class OutputKind { Report, Csv, Json, Plot };

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
    // "ok", or what failed: a failed run's outputs say so in their first line
    // (the JSON in its "status"), so that none of them passes for a measurement.
    std::string status = "ok";
    // What the physical units change in the CSV and JSON tables (the report
    // stays echoprobe's): the columns, and fields after the JSON's clock.
    std::function<std::vector<ToneColumn>(std::vector<ToneColumn>)> adjustColumns = {};
    std::vector<SummaryField> extraSummary = {};
};

// The first line of a failed run's report and CSV: "# failed: STATUS".
std::string failureLine(const AnalysisDocument& document);

// Why an output could not be written into its folder (no such folder, not a
// folder); empty when it can be tried. Checked for every output before any is written.
std::string outputFolderProblem(const std::string& path);

// echoprobe's report into the stream: the header, then the table of the first
// reportRows tones (as echoprobe writes it after a complete walk).
void writeReport(const AnalysisDocument& document, std::FILE* out);
// Every measured tone, the extra one included.
std::string csvText(const AnalysisDocument& document);
std::string jsonText(const AnalysisDocument& document);

// Writes each output under a temporary name and renames them all once every
// one is complete; prints why for each one that failed. When one fails, none
// of them is left.
bool writeOutputs(const AnalysisDocument& document, const std::vector<OutputRequest>& outputs);

// The peak as echoprobe prints it: peak x (1/32767) x 100, the factor in
// extended precision.
double peakPercent(std::uint16_t peak);

}  // namespace auralyn::cli
