// auralyn analyze: the measurement of a recording from the command line
// (clock-corrected, or echoprobe's walk exactly), with the report, a CSV table
// and a JSON document as outputs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/analysis_outputs.h"
#include "cli/analyze_request.h"
#include "cli/analyze_summary.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/progress_bar.h"
#include "cli/recording_samples.h"
#include "cli/staged_file.h"
#include "analysis/recording_analysis.h"
#include "analysis/sweep_analysis.h"
#include "platform/path_names.h"
#include "platform/path_names.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::cli {
namespace {

using AnalyzeCommand = AnalyzeRequest;

void addOptions(CLI::App* command, AnalyzeCommand& a) {
    command->add_option("RECORDING", a.recordingPath, "the recording of the sweep: a 16-bit WAV file, mono or with --channel")
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
    command->add_option_function<std::string>(
               "--clock-correction",
               [&a](const std::string& value) { a.clockCorrection = value == "on"; },
               "on: measure each tone where and at the frequency it lies in the recording, as if player and "
               "recorder shared one clock; off: echoprobe's walk exactly")
        ->check(CLI::IsMember({"on", "off"}))
        ->type_name("on|off")
        ->default_str("on");
    command->add_option("--channel", a.channel, "the channel of the device under test, counted from 1")
        ->type_name("N")
        ->default_str("1; a recording of several channels needs it or --reference-channel");
    command->add_option("--reference-channel", a.referenceChannel,
                        "a loopback wire from the output: the response is the device's channel over this one")
        ->type_name("M")
        ->default_str("none");
}

bool exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool openRecording(const std::string& path, wave::WaveFile& recording) {
    if (!exists(path)) {
        printDiagnostic(path + ": no such file");
        return false;
    }
    if (recording.openRead(path.c_str())) return true;
    printDiagnostic(path + ": could not be opened as a wave file" +
                    (recording.message != nullptr ? std::string(" (") + recording.message + ")" : std::string()));
    return false;
}

bool loadParameters(const std::string& path, sweep::SweepPlan& plan) {
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

// echoprobe's checks in echoprobe's order, then the sample format it takes
// for granted; a recording of several channels passes on to the channel checks.
bool checkRecordingFormat(const std::string& path, const wave::WaveFile& recording, const sweep::SweepPlan& plan) {
    const std::uint32_t rate = plan.params().sampleRate;
    std::string problem;
    if (recording.channels == 0) {
        problem = "has no channels";
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

std::string channelProblem(const AnalyzeCommand& a, int channels) {
    const std::string has = "has " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
    const auto outOfRange = [&](const char* option, int value) {
        return has + "; " + option + " " + std::to_string(value) + " is not one of them (1.." +
               std::to_string(channels) + ")";
    };
    if (a.channel < 1 || a.channel > channels) return outOfRange("--channel", a.channel);
    if (a.referenceChannel != 0 && (a.referenceChannel < 1 || a.referenceChannel > channels))
        return outOfRange("--reference-channel", a.referenceChannel);
    if (a.referenceChannel == a.channel) return "--reference-channel must name another channel than --channel";
    if (channels > 1 && a.referenceChannel == 0 && !a.channelGiven)
        return has + "; name the device's channel with --channel N (and a loopback wire's with "
                     "--reference-channel M)";
    if (channels > 1 && !a.clockCorrection)
        return has + "; with --clock-correction off only mono (one channel) recordings can be measured, "
                     "as echoprobe measures them";
    return {};
}

// A channel that the recording does not have, or a choice it needs, is a bad command line.
bool checkChannels(const std::string& path, const AnalyzeCommand& a, const wave::WaveFile& recording) {
    const std::string problem = channelProblem(a, recording.channels);
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
        const platform::RecordingName name = platform::recordingName(a.recordingPath, offsets.file, offsets.extension);
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

// echoprobe's walk over the file, byte for byte its numbers, with the
// quality columns measured at the tones' nominal places.
analysis::SweepAnalysis walkAsEchoprobe(const AnalyzeCommand& a, sweep::SweepPlan& plan, const std::vector<std::int16_t>& samples,
                              ProgressBar& bar) {
    wave::WaveFile recording;
    if (!recording.openRead(a.recordingPath.c_str())) return {};
    analysis::SweepAnalysis analysis = analysis::analyzeSweep(plan, recording, [&bar](double percent) { bar.update(percent); });
    analysis::addToneQuality(plan, samples, analysis);
    return analysis;
}

struct Measured {
    analysis::SweepAnalysis analysis;
    std::optional<clock::ClockFigure> clock;  // found where a pulse was
};

Measured measure(const AnalyzeCommand& a, sweep::SweepPlan& plan, const std::vector<std::vector<std::int16_t>>& channels,
                 ProgressBar& bar) {
    if (!a.clockCorrection) return {walkAsEchoprobe(a, plan, channels[0], bar), std::nullopt};
    const analysis::RecordingChannels input{channels[static_cast<std::size_t>(a.channel - 1)],
                                  a.referenceChannel != 0 ? &channels[static_cast<std::size_t>(a.referenceChannel - 1)]
                                                          : nullptr};
    analysis::RecordingAnalysis result = analysis::analyzeRecording(plan, input);
    Measured measured{std::move(result.sweep), std::nullopt};
    if (result.pulseFound) measured.clock = result.clock;
    return measured;
}

}  // namespace

int runAnalyzeRequest(const AnalyzeRequest& a) {
    const std::vector<OutputRequest> outputs = requestedOutputs(a);
    if (!outputsAreDistinct(a, outputs)) return kExitUsage;
    wave::WaveFile recording;
    sweep::SweepPlan plan;
    if (!openRecording(a.recordingPath, recording) || !loadParameters(a.parameterPath, plan)) return kExitFailure;
    plan.lock();
    if (!checkRecordingFormat(a.recordingPath, recording, plan)) return kExitFailure;
    if (!checkChannels(a.recordingPath, a, recording)) return kExitUsage;
    std::vector<std::vector<std::int16_t>> channels;
    std::string error;
    if (!readAllChannels(a.recordingPath, recording, channels, error)) {
        printDiagnostic(a.recordingPath + ": " + error);
        return kExitFailure;
    }

    ProgressBar bar("analyze", a.quiet);
    const Measured measured = measure(a, plan, channels, bar);
    const analysis::SweepAnalysis& analysis = measured.analysis;
    if (analysis.complete()) bar.update(100.0);
    bar.finish();

    const platform::PathOffsets offsets = platform::pathOffsets(a.recordingPath);
    const AnalysisDocument document{plan, platform::recordingName(a.recordingPath, offsets.file, offsets.extension).fileName,
                                    analysis, measured.clock ? &*measured.clock : nullptr};
    const bool written = writeOutputs(document, outputs);
    printSummary(analysis, measured.clock ? clockLine(*measured.clock) : std::string());
    const bool clockFailed = measured.clock && printClockProblem(a.recordingPath, *measured.clock);
    printClipping(a.recordingPath, analysis);
    printFailure(a.recordingPath, analysis);
    return written && analysis.complete() && !clockFailed ? kExitSuccess : kExitFailure;
}

void addAnalyzeCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "analyze",
        "Measure a recording of the sweep: with the clock correction (the default) as if player and recorder shared "
        "one clock, with each tone's distortion, noise floor, SNR and 95 % uncertainty; with --clock-correction off "
        "as echoprobe does. Without -o, --csv and --json the report goes to the "
        "recording's name with .txt in the current folder. When the recording ends early, the outputs hold the "
        "tones measured and the exit status is 1.");
    auto state = std::make_shared<AnalyzeCommand>();
    addOptions(command, *state);
    command->callback([state, command, &exitCode] {
        state->channelGiven = command->count("--channel") > 0;
        exitCode = runAnalyzeRequest(*state);
    });
}

}  // namespace auralyn::cli
