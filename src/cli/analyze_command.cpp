// auralyn analyze: the measurement of a recording from the command line
// (clock-corrected, or echoprobe's walk exactly), with the report, a CSV table
// and a JSON document as outputs.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/analysis_checks.h"
#include "cli/analysis_outputs.h"
#include "cli/analyze_request.h"
#include "cli/analyze_summary.h"
#ifdef AURALYN_HAVE_CALIBRATION
#include "cli/analyze_calibration.h"
#include "recording/recording_file.h"
#endif
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/progress_bar.h"
#include "cli/recording_checks.h"
#include "cli/recording_input.h"
#include "cli/recording_samples.h"
#include "cli/shared_options.h"
#include "cli/sweep_start.h"
#include "platform/staged_file.h"
#include "analysis/recording_analysis.h"
#include "analysis/sweep_analysis.h"
#include "platform/path_names.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::cli {
namespace {

using AnalyzeCommand = AnalyzeRequest;

// The request, and its --channel option: whether that was given only the
// parsed command line can tell.
struct AnalyzeCommandLine {
    AnalyzeCommand request;
    const CLI::Option* channel = nullptr;
};

void addOptions(CLI::App* command, AnalyzeCommandLine& line) {
    AnalyzeCommand& a = line.request;
    command->add_option("RECORDING", a.recordingPath, "the recording of the sweep: a WAV file of 16, 24 or 32-bit integer or 32-bit float samples (16-bit with "
                        "--clock-correction off), mono or with --channel")
        ->required()
        ->type_name("RECORDING.wav");
    command->add_option("SWEEP", a.parameterPath, "the sweep's parameter file, as sweep or tonesmith wrote it")
        ->required()
        ->type_name("SWEEP.swp");
    addReportFileOptions(command, a.reportPath, a.csvPath, a.jsonPath,
                         {"without -o, --csv and --json: the recording's name with .txt, here",
                          "write one row per tone: frequency_hz,amplitude,magnitude_db,phase_deg",
                          "write {\"status\": \"ok\" or what failed, \"sample_rate\": R, \"tones\": [...]}"});
    command->add_flag("-q,--quiet", a.quiet, "no progress bar");
    command->add_option_function<std::string>(
               "--clock-correction",
               [&a](const std::string& value) { a.clockCorrection = value == "on"; },
               "on: measure each tone where and at the frequency it lies in the recording, as if player and "
               "recorder shared one clock; off: echoprobe's walk exactly")
        ->check(CLI::IsMember({"on", "off"}))
        ->type_name("on|off")
        ->default_str("on");
    line.channel = command->add_option("--channel", a.channel, "the channel of the device under test, counted from 1")
                       ->type_name("N")
                       ->default_str("1; a recording of several channels needs it or --reference-channel");
    command->add_option("--reference-channel", a.referenceChannel,
                        "a loopback wire from the output: the response is the device's channel over this one")
        ->type_name("M")
        ->default_str("none");
#ifdef AURALYN_HAVE_CALIBRATION
    addCalibrationOptions(command, a.calibration);
#endif
}

int runCommandLine(AnalyzeCommandLine& line) {
    line.request.channelGiven = line.channel->count() > 0;
    return runAnalyzeRequest(line.request);
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
    if (!a.plotPath.empty()) outputs.push_back({OutputKind::Plot, a.plotPath});
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
        if (platform::samePlace(path, a.recordingPath) || platform::samePlace(path, a.parameterPath)) {
            printDiagnostic(path + ": is an input of the measurement; choose another output file");
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (platform::samePlace(path, outputs[j].path)) {
                printDiagnostic(path + ": given for two outputs; choose one file for each");
                return false;
            }
        }
    }
    return true;
}

// Every output's folder is looked at before anything is measured or written:
// a run that cannot write all its outputs writes none.
bool outputFoldersExist(const std::vector<OutputRequest>& outputs) {
    for (const OutputRequest& output : outputs) {
        const std::string problem = outputFolderProblem(output.path);
        if (problem.empty()) continue;
        printDiagnostic(output.path + ": " + problem + "; nothing was written");
        return false;
    }
    return true;
}

// "ok", or the first reason the run failed, as the outputs name it.
std::string runStatus(const analysis::SweepAnalysis& analysis, const std::optional<clock::ClockFigure>& clock,
                      bool followsPlan, bool sweepNotFound) {
    if (sweepNotFound) return "no_sweep";
    if (analysis.end == measurer::WalkEnd::PulseNotFound) return "pulse_not_found";
    if (!followsPlan) return "tones_disagree_with_plan";
    if (analysis.end == measurer::WalkEnd::RecordingEnded) return "recording_ended";
    if (const std::string checked = checkStatus(analysis, clock); !checked.empty()) return checked;
    if (clock && clock->verdict == clock::ClockVerdict::Disagree) return "clock_disagrees";
    if (clock && clock->verdict == clock::ClockVerdict::OutOfRange) return "clock_out_of_range";
    return "ok";
}

// echoprobe's walk over the file, byte for byte its numbers, with the
// quality columns measured at the tones' nominal places.
analysis::SweepAnalysis walkAsEchoprobe(const AnalyzeCommand& a, sweep::SweepPlan& plan, const std::vector<analysis::Sample>& samples,
                              ProgressBar& bar) {
    wave::WaveFile recording;
    if (!recording.openRead(a.recordingPath.c_str())) return {};
    recording.endBeforeTrailingChunks();
    analysis::SweepAnalysis analysis = analysis::analyzeSweep(plan, recording, [&bar](double percent) { bar.update(percent); });
    analysis::addToneQuality(plan, samples, analysis);
    return analysis;
}

struct Measured {
    analysis::SweepAnalysis analysis;
    std::optional<clock::ClockFigure> clock;  // found where the sweep was
    bool followsPlan = true;                  // false: the tones are not where the plan puts them
    // With the clock correction: where the sweep begins, or that nothing in the recording is this sweep.
    std::optional<SweepStart> start;
    bool sweepNotFound = false;
};

// The tones of a recording of another sweep (or measured against another
// sweep's .swp) do not stand where the plan puts them: echoprobe's walk then
// measures whatever its blocks hold. Taken as such only when both signs agree:
// the tones, measured where the recording holds them, do not agree on one
// clock, and most blocks hold more of other signals than of their tone.
bool tonesFollowPlan(const sweep::SweepPlan& plan, const std::vector<analysis::Sample>& samples,
                     const analysis::SweepAnalysis& walked) {
    std::size_t foreign = 0;
    for (const analysis::ToneMeasurement& tone : walked.tones) {
        const bool drowned = !tone.quality || !tone.quality->fitted || !tone.quality->thdnDb || *tone.quality->thdnDb > 0.0;
        foreign += drowned ? 1 : 0;
    }
    if (walked.tones.empty() || 2 * foreign <= walked.tones.size()) return true;
    const analysis::RecordingAnalysis located = analysis::analyzeRecording(plan, {samples, nullptr});
    return located.located && located.clock.verdict != clock::ClockVerdict::Disagree;
}

Measured measure(const AnalyzeCommand& a, sweep::SweepPlan& plan, const std::vector<std::vector<analysis::Sample>>& channels,
                 double step, ProgressBar& bar) {
    if (!a.clockCorrection) {
        Measured walked;
        walked.analysis = walkAsEchoprobe(a, plan, channels[0], bar);
        walked.followsPlan = !walked.analysis.complete() || tonesFollowPlan(plan, channels[0], walked.analysis);
        return walked;
    }
    const analysis::RecordingChannels input{channels[static_cast<std::size_t>(a.channel - 1)],
                                  a.referenceChannel != 0 ? &channels[static_cast<std::size_t>(a.referenceChannel - 1)]
                                                          : nullptr,
                                  step};
    analysis::RecordingAnalysis result = analysis::analyzeRecording(plan, input);
    Measured measured;
    measured.analysis = std::move(result.sweep);
    // A recording too short to hold the sweep's lead-in ended early; any other holds no sweep.
    measured.sweepNotFound = !result.located && result.sweep.end != measurer::WalkEnd::RecordingEnded;
    if (!result.located) return measured;
    measured.clock = result.clock;
    measured.start = sweepStart(result, plan.params().sampleRate);
    return measured;
}

// The kit's own 16-bit reader: what echoprobe's walk (clock correction off) reads,
// and every 16-bit PCM file, whose header it checks more strictly than a
// general reader does (block align, the samples' end before trailing chunks).
int loadInputs16(const AnalyzeRequest& a, sweep::SweepPlan& plan, std::vector<std::vector<analysis::Sample>>& channels) {
    wave::WaveFile recording;
    if (!openRecording(a.recordingPath, recording) || !loadParameters(a.parameterPath, plan)) return kExitFailure;
    plan.lock();
    if (!checkRecordingFormat(a.recordingPath, recording, plan)) return kExitFailure;
    if (!checkChannels(a.recordingPath, a, recording)) return kExitUsage;
    std::string error;
    if (!readAllChannels(recording, channels, error)) {
        printDiagnostic(a.recordingPath + ": " + error);
        return kExitFailure;
    }
    return kExitSuccess;
}

#ifdef AURALYN_HAVE_CALIBRATION

// Recordings of 16, 24 or 32-bit integer or float samples, any channel count.
int loadInputsAnyResolution(const AnalyzeRequest& a, sweep::SweepPlan& plan, std::vector<std::vector<analysis::Sample>>& channels,
                            double& step, std::vector<SummaryField>& fields) {
    if (std::error_code missing; !std::filesystem::exists(a.recordingPath, missing)) {
        printDiagnostic(a.recordingPath + ": no such file");
        return kExitFailure;
    }
    recording::RecordingFormat format;
    const auto samples = readRecordingChannels(a.recordingPath, format);
    if (!samples || !loadParameters(a.parameterPath, plan)) return kExitFailure;
    plan.lock();
    if (!checkMeasurableFormat(a.recordingPath, format, plan.params().sampleRate)) return kExitFailure;
    if (const std::string problem = channelProblem(a, format.channels); !problem.empty()) {
        printDiagnostic(a.recordingPath + ": " + problem);
        return kExitUsage;
    }
    for (const std::vector<double>& channel : *samples) channels.push_back(samplesFromFullScale(channel));
    step = resolutionStep(format.encoding);
    fields.emplace_back("recording_format", recording::describe(format));
    return kExitSuccess;
}

#endif

int loadInputs(const AnalyzeRequest& a, sweep::SweepPlan& plan, std::vector<std::vector<analysis::Sample>>& channels,
               [[maybe_unused]] double& step, [[maybe_unused]] std::vector<SummaryField>& fields) {
#ifdef AURALYN_HAVE_CALIBRATION
    if (a.clockCorrection && readsAsDeeperThan16Bits(a.recordingPath)) return loadInputsAnyResolution(a, plan, channels, step, fields);
#endif
    return loadInputs16(a, plan, channels);
}

}  // namespace

int runAnalyzeRequest(const AnalyzeRequest& a) {
    const std::vector<OutputRequest> outputs = requestedOutputs(a);
    if (!outputsAreDistinct(a, outputs)) return kExitUsage;
    if (!outputFoldersExist(outputs)) return kExitFailure;
    sweep::SweepPlan plan;
    std::vector<std::vector<analysis::Sample>> channels;
    std::vector<SummaryField> recordingFields;
    double step = 1.0;  // the recording's resolution in 16-bit steps
    if (const int status = loadInputs(a, plan, channels, step, recordingFields); status != kExitSuccess) return status;
    if (!referenceIsAlive(a.recordingPath, a.referenceChannel, plan, channels)) return kExitFailure;
    if (!restsBelowThreshold(a.recordingPath, plan, channels[static_cast<std::size_t>(a.channel - 1)], a.channel))
        return kExitFailure;
#ifdef AURALYN_HAVE_CALIBRATION
    std::optional<LoadedCalibration> calibration;
    if (!prepareCalibration(a, plan.params().sampleRate, calibration)) return kExitFailure;
#endif

    ProgressBar bar("analyze", a.quiet);
    const Measured measured = measure(a, plan, channels, step, bar);
    const analysis::SweepAnalysis& analysis = measured.analysis;
    if (analysis.complete()) bar.update(100.0);
    bar.finish();

    const platform::PathOffsets offsets = platform::pathOffsets(a.recordingPath);
    AnalysisDocument document{plan, platform::recordingName(a.recordingPath, offsets.file, offsets.extension).fileName,
                              analysis, measured.clock ? &*measured.clock : nullptr,
                              runStatus(analysis, measured.clock, measured.followsPlan, measured.sweepNotFound)};
    document.extraSummary = recordingFields;
    if (a.clockCorrection) {
        const std::vector<SummaryField> start = startSummaryFields(measured.start);
        document.extraSummary.insert(document.extraSummary.end(), start.begin(), start.end());
    }
    // Phases divided by a loopback reference start at it: process and plot
    // take `--delay reference` from this.
    if (a.referenceChannel != 0 && a.clockCorrection) document.extraSummary.emplace_back("reference_channel", a.referenceChannel);
    if (a.clockCorrection) {
        const std::vector<SummaryField> checks = checkSummaryFields(analysis, plan.params().sampleRate);
        document.extraSummary.insert(document.extraSummary.end(), checks.begin(), checks.end());
    }
#ifdef AURALYN_HAVE_CALIBRATION
    if (calibration) applyCalibration(*calibration, analysis, document);
#endif
    const bool written = writeOutputs(document, outputs);
    if (measured.sweepNotFound) {
        printDiagnostic(a.recordingPath + ": found no sweep: nothing in the recording matches this sweep's tones "
                                          "clearly enough (is it a recording of this sweep, made with its .swp, "
                                          "and do its tones stand above the noise?)");
        return kExitFailure;
    }
    if (measured.start) std::printf("%s\n", startLine(*measured.start).c_str());
    printSummary(analysis, measured.clock ? clockLine(*measured.clock) : std::string());
    // The tones' own checks name a cause more surely than the clock's refusal does.
    const bool clockExplained = checksExplainClock(analysis);
    const bool clockFailed =
        measured.clock && (clockExplained ? measured.clock->verdict != clock::ClockVerdict::Measured
                                          : printClockProblem(a.recordingPath, *measured.clock));
    printCheckMessages(a.recordingPath, analysis, plan.params().sampleRate, measured.clock);
    printClipping(a.recordingPath, analysis);
    printFailure(a.recordingPath, analysis);
    if (!measured.followsPlan)
        printDiagnostic(a.recordingPath + ": the tones are not where the sweep's plan puts them (most blocks hold more "
                                          "of other signals than of their tone): is this a recording of this sweep, "
                                          "measured with its own .swp?");
    return written && document.status == "ok" && !clockFailed ? kExitSuccess : kExitFailure;
}

void addAnalyzeCommand(CLI::App& app, int& exitCode) {
    addRequestCommand<AnalyzeCommandLine>(
        app, exitCode, "analyze",
        "Measure a recording of the sweep: with the clock correction (the default) as if player and recorder shared "
        "one clock, with each tone's distortion, noise floor, SNR and 95 % uncertainty; with --clock-correction off "
        "as echoprobe does. Without -o, --csv and --json the report goes to the "
        "recording's name with .txt in the current folder. When the measurement fails (the recording ends early, "
        "say), the outputs hold the tones measured, marked as failed in their first line (\"status\" in the "
        "JSON), and the exit status is 1.",
        addOptions, runCommandLine);
}

}  // namespace auralyn::cli
