#include "cli/analysis_outputs.h"

#include <cerrno>
#include <cstring>

#include "cli/diagnostics.h"
#include "cli/staged_file.h"
#include "cli/tone_table.h"
#include "measurer/report.h"
#include "measurer/tone_result.h"

namespace auralyn::cli {
namespace {

std::vector<SummaryField> summaryFields(const AnalysisDocument& document) {
    const clock::ClockFigure* figure = document.clock;
    const bool measured = figure != nullptr && figure->verdict != clock::ClockVerdict::Disagree;
    return {{"sample_rate", document.plan.params().sampleRate},
            {"clock_ppm", measured ? jsonNumber(figure->ppm) : nullptr},
            {"clock_ppm_u95", measured ? jsonNumber(figure->u95) : nullptr}};
}

bool writeReportFile(const AnalysisDocument& document, const StagedFile& file, std::string& error) {
    std::FILE* stream = std::fopen(file.writePath().c_str(), "w");
    if (stream == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    writeReport(document, stream);
    return closeWritten(stream, error);
}

bool writeOutput(const AnalysisDocument& document, const OutputRequest& request, std::string& error) {
    StagedFile file(request.path);
    bool written = false;
    switch (request.kind) {
        case OutputKind::Report: written = writeReportFile(document, file, error); break;
        case OutputKind::Csv: written = writeStagedText(file, csvText(document), error); break;
        case OutputKind::Json: written = writeStagedText(file, jsonText(document), error); break;
    }
    return written && file.commit(error);
}

}  // namespace

void writeReport(const AnalysisDocument& document, std::FILE* out) {
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
    return toneTableCsv(analysisToneColumns(), document.analysis.tones);
}

std::string jsonText(const AnalysisDocument& document) {
    return toneTableJson(summaryFields(document), analysisToneColumns(), document.analysis.tones);
}

bool writeOutputs(const AnalysisDocument& document, const std::vector<OutputRequest>& outputs) {
    bool all = true;
    for (const OutputRequest& request : outputs) {
        std::string error;
        if (writeOutput(document, request, error)) continue;
        printDiagnostic(request.path + ": could not be written: " + error);
        all = false;
    }
    return all;
}

double peakPercent(std::uint16_t peak) {
    const long double percent = static_cast<long double>(peak) * (1.0L / 32767.0L) * 100.0L;
    return static_cast<double>(percent);
}

}  // namespace auralyn::cli
