#include "cli/analyze_calibration.h"

#include <cmath>
#include <memory>

#include "calibration/cal_interpolation.h"
#include "cli/calibration_columns.h"
#include "cli/diagnostics.h"
#include "recording/recording_file.h"
#include "wave/wave_file.h"

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

std::vector<analysis::Sample> samplesFromFullScale(const std::vector<double>& samples) {
    std::vector<analysis::Sample> scaled(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) scaled[i] = static_cast<analysis::Sample>(samples[i] * 32768.0);
    return scaled;
}

double resolutionStep(recording::SampleEncoding encoding) {
    switch (encoding) {
    case recording::SampleEncoding::pcm8: return 256.0;
    case recording::SampleEncoding::pcm16: return 1.0;
    case recording::SampleEncoding::pcm32: return 1.0 / 65536.0;
    default: return 1.0 / 256.0;
    }
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

// A WAV whose format chunk says 16-bit PCM, by the kit's own reader: the
// general reader (and the shared library behind it) is not loaded for those.
bool saysPlain16BitPcm(const std::string& path) {
    wave::WaveFile file;
    return file.openRead(path.c_str()) && file.formatTag == 1 && file.bitsPerSample == 16;
}

bool readsAsDeeperThan16Bits(const std::string& path) {
    if (saysPlain16BitPcm(path)) return false;
    try {
        return recording::probeRecording(path).encoding != recording::SampleEncoding::pcm16;
    } catch (const recording::RecordingError&) {
        return false;
    }
}

bool checkMeasurableFormat(const std::string& path, const recording::RecordingFormat& format, std::uint32_t rate) {
    if (format.encoding == recording::SampleEncoding::pcm8 || format.encoding == recording::SampleEncoding::float64) {
        const std::string bits = std::to_string(recording::bitsOf(format.encoding)) + "-bit";
        printDiagnostic(path + ": has " + bits + (recording::isFloat(format.encoding) ? " float" : "") +
                        " samples; only 16-bit, 24-bit and 32-bit PCM and 32-bit float samples can be measured");
        return false;
    }
    if (format.sampleRate != static_cast<double>(rate)) {
        printDiagnostic(path + ": its sampling rate, " + std::to_string(std::llround(format.sampleRate)) +
                        " Hz, is not that of the sweep; it should be " + std::to_string(rate) + " Hz");
        return false;
    }
    return true;
}

}  // namespace auralyn::cli
