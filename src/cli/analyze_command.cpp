// auralyn analyze: echoprobe's measurement from the command line, with the
// report, a CSV table and a JSON document as outputs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/analysis_outputs.h"
#include "cli/analyze_request.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/progress_bar.h"
#include "cli/staged_file.h"
#include "measurement/sweep_analysis.h"
#include "measurer/measurer_driver.h"
#include "platform/path_names.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::cli {
namespace {

using AnalyzeCommand = AnalyzeRequest;

void addOptions(CLI::App* command, AnalyzeCommand& a) {
    command->add_option("RECORDING", a.recordingPath, "the recording of the sweep: a mono 16-bit WAV file")
        ->required()
        ->type_name("RECORDING.wav");
    command->add_option("SWEEP", a.parameterPath, "the sweep's parameter file, as sweep or tonesmith wrote it")
        ->required()
        ->type_name("SWEEP.swp");
    command->add_option("-o,--output", a.reportPath, "write the report in echoprobe's format")
        ->type_name("REPORT.txt")
        ->default_str("without -o, --csv and --json: the recording's name with .txt, here");
    command->add_option("--csv", a.csvPath, "write one row per tone: frequency_hz,amplitude,magnitude_db,phase_deg")
        ->type_name("FILE")
        ->default_str("none");
    command->add_option("--json", a.jsonPath, "write {\"sample_rate\": R, \"tones\": [...]}")
        ->type_name("FILE")
        ->default_str("none");
    command->add_flag("-q,--quiet", a.quiet, "no progress bar");
}

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool openRecording(const std::string& path, WaveFile& recording) {
    if (!exists(path)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    if (recording.openRead(path.c_str())) return true;
    printDiagnostic(path + ": could not be opened as a wave file" +
                    (recording.message != nullptr ? std::string(" (") + recording.message + ")" : std::string()));
    return false;
}

bool loadParameters(const std::string& path, SweepPlan& plan) {
    if (!exists(path)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool loaded = file != nullptr && plan.readParameters(file);
    if (file != nullptr) std::fclose(file);
    if (!loaded) printDiagnostic(path + ": not a list of sweep parameters (a .swp file written with the sweep)");
    return loaded;
}

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;

// echoprobe's checks in echoprobe's order, then the sample format it takes for granted.
bool checkRecordingFormat(const std::string& path, const WaveFile& recording, const SweepPlan& plan) {
    const std::uint32_t rate = plan.params().sampleRate;
    std::string problem;
    if (recording.channels != 1) {
        problem = "has " + std::to_string(recording.channels) +
                  " channels; only mono (one channel) recordings can be measured";
    } else if (recording.bitsPerSample != 16) {
        problem = "has " + std::to_string(recording.bitsPerSample) +
                  "-bit samples; only 16-bit samples can be measured";
    } else if (recording.sampleRate != rate) {
        problem = "its sampling rate, " + std::to_string(recording.sampleRate) +
                  " Hz, is not that of the sweep; it should be " + std::to_string(rate) + " Hz";
    } else if (recording.formatTag != kPcm && recording.formatTag != kExtensible) {
        problem = "does not hold PCM samples (format " + std::to_string(recording.formatTag) + ")";
    }
    if (problem.empty()) return true;
    printDiagnostic(path + ": " + problem);
    return false;
}

std::vector<OutputRequest> requestedOutputs(const AnalyzeCommand& a) {
    std::vector<OutputRequest> outputs;
    if (!a.reportPath.empty()) outputs.push_back({OutputKind::Report, a.reportPath});
    if (!a.csvPath.empty()) outputs.push_back({OutputKind::Csv, a.csvPath});
    if (!a.jsonPath.empty()) outputs.push_back({OutputKind::Json, a.jsonPath});
    if (outputs.empty()) {
        const platform::PathOffsets offsets = platform::pathOffsets(a.recordingPath);
        const RecordingName name = recordingName(a.recordingPath, offsets.file, offsets.extension);
        outputs.push_back({OutputKind::Report, name.baseName + ".txt"});
    }
    return outputs;
}

// An output over an input would destroy the measurement's own data; two
// outputs into one file would leave only the last.
bool outputsAreDistinct(const AnalyzeCommand& a, const std::vector<OutputRequest>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& path = outputs[i].path;
        if (samePlace(path, a.recordingPath) || samePlace(path, a.parameterPath)) {
            printDiagnostic(path + ": is an input of the measurement; choose another output file");
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (samePlace(path, outputs[j].path)) {
                printDiagnostic(path + ": given for two outputs; choose one file for each");
                return false;
            }
        }
    }
    return true;
}

void printSummary(const SweepAnalysis& analysis) {
    std::printf("Tones measured: %zu of %u\n", analysis.tones.size(), static_cast<unsigned>(analysis.tonesExpected));
    if (!analysis.tones.empty()) std::printf("Peak recording level: %.0f%%\n", peakPercent(analysis.peak));
    if (analysis.tonesMissing != 0) {
        std::printf("Tones not measured: %u\n", static_cast<unsigned>(analysis.tonesMissing));
    }
    std::fflush(stdout);
}

void printFailure(const std::string& path, const SweepAnalysis& analysis) {
    if (analysis.complete()) return;
    const std::string missing = std::to_string(analysis.tonesMissing) + " of " +
                                std::to_string(analysis.tonesExpected) + " tones could not be measured";
    if (analysis.end == WalkEnd::PulseNotFound) {
        printDiagnostic(path + ": the synchronization pulse could not be found; " + missing);
    } else {
        printDiagnostic(path + ": the recording ended before the sweep did; " + missing);
    }
}

}  // namespace

int runAnalyzeRequest(const AnalyzeRequest& a) {
    const std::vector<OutputRequest> outputs = requestedOutputs(a);
    if (!outputsAreDistinct(a, outputs)) return kExitUsage;
    WaveFile recording;
    SweepPlan plan;
    if (!openRecording(a.recordingPath, recording) || !loadParameters(a.parameterPath, plan)) return kExitFailure;
    plan.lock();
    if (!checkRecordingFormat(a.recordingPath, recording, plan)) return kExitFailure;

    ProgressBar bar("analyze", a.quiet);
    SweepAnalysis analysis = analyzeSweep(plan, recording, [&bar](double percent) { bar.update(percent); });
    if (analysis.complete()) bar.update(100.0);
    bar.finish();

    const platform::PathOffsets offsets = platform::pathOffsets(a.recordingPath);
    const AnalysisDocument document{plan, recordingName(a.recordingPath, offsets.file, offsets.extension).fileName,
                                    analysis};
    const bool written = writeOutputs(document, outputs);
    printSummary(analysis);
    printFailure(a.recordingPath, analysis);
    return written && analysis.complete() ? kExitSuccess : kExitFailure;
}

void addAnalyzeCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "analyze",
        "Measure a recording of the sweep as echoprobe does. Without -o, --csv and --json the report goes to the "
        "recording's name with .txt in the current folder. When the recording ends early, the outputs hold the "
        "tones measured and the exit status is 1.");
    auto state = std::make_shared<AnalyzeCommand>();
    addOptions(command, *state);
    command->callback([state, &exitCode] { exitCode = runAnalyzeRequest(*state); });
}

}  // namespace auralyn::cli
