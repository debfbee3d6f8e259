#include "cli/analyze_calibration.h"

#include <cmath>
#include <memory>

#include "calibration/cal_interpolation.h"
#include "cli/calibration_columns.h"
#include "cli/diagnostics.h"
#include "recording/recording_file.h"

namespace auralyn::cli {

bool prepareCalibration(const AnalyzeRequest& request, double sampleRate, std::optional<LoadedCalibration>& loaded) {
    const CalibrationRequest& c = request.calibration;
    if (!c.any() && c.playbackLevelDb == 0.0) return true;
    loaded = loadCalibration(c, {sampleRate, c.inputDevice, c.outputDevice});
    return loaded.has_value();
}

void applyCalibration(const LoadedCalibration& loaded, const analysis::SweepAnalysis& analysis, AnalysisDocument& document) {
    auto table = std::make_shared<const CalibratedTones>(loaded, analysis.tones);
    document.adjustColumns = [table](std::vector<ToneColumn> columns) { return calibratedColumns(std::move(columns), table); };
    nlohmann::ordered_json description = loaded.description;
    description["tones_outside_cal_range"] = table->outsideCalRange();
    document.extraSummary.emplace_back("calibration", std::move(description));
    if (table->outsideCalRange() > 0 && loaded.chain.micCal) {
        printDiagnostic("warning: " + std::to_string(table->outsideCalRange()) + " tone(s) lie outside the range of " +
                        loaded.chain.micCal->fileName + " (" + calibration::rangeText(*loaded.chain.micCal) +
                        "): measured but not calibrated (calibrated=false)");
    }
}

std::vector<std::int16_t> int16SamplesFromFullScale(const std::vector<double>& samples) {
    std::vector<std::int16_t> codes(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double code = std::round(samples[i] * 32768.0);
        codes[i] = static_cast<std::int16_t>(code >= 32767.0 ? 32767.0 : code <= -32768.0 ? -32768.0 : code);
    }
    return codes;
}

std::optional<std::vector<std::vector<double>>> readRecordingChannels(const std::string& path,
                                                                      recording::RecordingFormat& format) {
    try {
        recording::Recording<double> file = recording::readRecording(path);
        format = file.format;
        return std::move(file.channels);
    } catch (const recording::RecordingError& error) {
        printDiagnostic(error.what());
        return std::nullopt;
    }
}

}  // namespace auralyn::cli
