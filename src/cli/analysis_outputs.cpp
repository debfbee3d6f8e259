#include "cli/analysis_outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "cli/analysis_plot.h"
#include "cli/diagnostics.h"
#include "platform/staged_file.h"
#include "cli/tone_table.h"
#include "measurer/report.h"
#include "measurer/tone_result.h"

namespace auralyn::cli {
namespace {

std::vector<SummaryField> summaryFields(const AnalysisDocument& document) {
    const clock::ClockFigure* figure = document.clock;
    const bool measured = figure != nullptr && figure->verdict != clock::ClockVerdict::Disagree;
    std::vector<SummaryField> fields{{"status", document.status},
                                     {"sample_rate", document.plan.params().sampleRate},
                                     {"clock_ppm", measured ? jsonNumber(figure->ppm) : nullptr},
                                     {"clock_ppm_u95", measured ? jsonNumber(figure->u95) : nullptr}};
    fields.insert(fields.end(), document.extraSummary.begin(), document.extraSummary.end());
    return fields;
}

std::vector<ToneColumn> tableColumns(const AnalysisDocument& document, std::vector<ToneColumn> columns) {
    return document.adjustColumns ? document.adjustColumns(std::move(columns)) : columns;
}

std::vector<ToneColumn> tableColumns(const AnalysisDocument& document) { return tableColumns(document, analysisToneColumns()); }

ToneColumn constantColumn(std::string name, double value) {
    return {std::move(name), [value](const analysis::ToneMeasurement&) -> std::optional<double> { return value; }};
}

// A CSV file has no place for the JSON's summary: what readers need of it
// (the sampling rate, for the minimum phase's axis; the reference channel,
// for --delay reference) rides along as columns of one value.
std::vector<ToneColumn> csvColumns(const AnalysisDocument& document) {
    std::vector<ToneColumn> columns = analysisToneColumns();
    columns.push_back(constantColumn("sample_rate_hz", document.plan.params().sampleRate));
    for (const SummaryField& field : document.extraSummary)
        if (field.first == "reference_channel") columns.push_back(constantColumn("reference_channel", field.second.get<double>()));
    return tableColumns(document, std::move(columns));
}

bool writeReportFile(const AnalysisDocument& document, const platform::StagedFile& file, std::string& error) {
    std::FILE* stream = std::fopen(file.writePath().c_str(), "w");
    if (stream == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    writeReport(document, stream);
    return platform::closeWritten(stream, error);
}

bool writeOutput(const AnalysisDocument& document, const OutputRequest& request, const platform::StagedFile& file,
                 std::string& error) {
    switch (request.kind) {
        case OutputKind::Report: return writeReportFile(document, file, error);
        case OutputKind::Csv: return platform::writeStagedText(file, csvText(document), error);
        case OutputKind::Json: return platform::writeStagedText(file, jsonText(document), error);
        case OutputKind::Plot: return platform::writeStagedText(file, plotText(document), error);
    }
    return false;
}

}  // namespace

std::string failureLine(const AnalysisDocument& document) {
    return document.status == "ok" ? std::string() : "# failed: " + document.status + "\n";
}

std::string outputFolderProblem(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return {};
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(folder, error);
    if (!std::filesystem::exists(status)) return "its folder " + folder.string() + " does not exist";
    if (!std::filesystem::is_directory(status)) return folder.string() + " is not a folder";
    return {};
}

void writeReport(const AnalysisDocument& document, std::FILE* out) {
    std::fputs(failureLine(document).c_str(), out);
    measurer::writeHeader(document.plan, document.recordedName.c_str(), out);
    const analysis::SweepAnalysis& analysis = document.analysis;
    std::vector<measurer::ToneResult> rows;
    rows.reserve(analysis.reportRows);
    for (std::size_t i = 0; i < analysis.reportRows; ++i) {
        const analysis::ToneMeasurement& tone = analysis.tones[i];
        rows.push_back(measurer::ToneResult{tone.frequency, tone.amplitude, tone.phase});
    }
    measurer::writeResults(rows.data(), rows.size(), out);
}

std::string csvText(const AnalysisDocument& document) {
    return failureLine(document) + toneTableCsv(csvColumns(document), document.analysis.tones);
}

std::string jsonText(const AnalysisDocument& document) {
    return toneTableJson(summaryFields(document), tableColumns(document), document.analysis.tones);
}

bool writeOutputs(const AnalysisDocument& document, const std::vector<OutputRequest>& outputs) {
    std::vector<std::unique_ptr<platform::StagedFile>> files;
    bool all = true;
    for (const OutputRequest& request : outputs) {
        files.push_back(std::make_unique<platform::StagedFile>(request.path));
        std::string error;
        if (writeOutput(document, request, *files.back(), error)) continue;
        printDiagnostic(request.path + ": could not be written: " + error);
        all = false;
    }
    // Staged files not committed are removed when `files` goes.
    for (std::size_t i = 0; all && i < files.size(); ++i) {
        std::string error;
        if (files[i]->commit(error)) continue;
        printDiagnostic(outputs[i].path + ": could not be written: " + error);
        all = false;
    }
    return all;
}

double peakPercent(std::uint16_t peak) {
    const long double percent = static_cast<long double>(peak) * (1.0L / 32767.0L) * 100.0L;
    return static_cast<double>(percent);
}

}  // namespace auralyn::cli
