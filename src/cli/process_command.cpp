// auralyn process: smoothing, delay, group delay, minimum and excess phase of
// one response; `process average` and `process diff` of several.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/diagnostics.h"

#ifdef AURALYN_HAVE_PROCESS
#include "cli/process_options.h"
#include "cli/process_outputs.h"
#include "cli/shared_options.h"
#include "response/averaging.h"
#include "response/processing.h"
#include "response/response_reader.h"

namespace auralyn::cli {
namespace {

using response::Error;

struct ProcessRequest {
    std::string input;
    std::string smooth, smoothMode = "power", delay;
    bool minimumPhase = false;
    std::optional<double> extendLow, extendHigh;
    std::optional<int> pointsPerOctave;
    ProcessOutputs outputs;
};

struct CombineRequest {
    std::vector<std::string> inputs;
    std::string mode = "power";
    std::optional<double> alignLevelHz;
    bool force = false;
    ProcessOutputs outputs;
};

response::ProcessOptions optionsOf(const ProcessRequest& request) {
    response::ProcessOptions options;
    options.smoothing = smoothingOption(request.smooth, request.smoothMode);
    delayOption(request.delay, options);
    options.minimumPhase = request.minimumPhase;
    options.extension = {request.extendLow, request.extendHigh};
    options.pointsPerOctave = request.pointsPerOctave;
    return options;
}

response::Response readInput(const std::string& path) {
    response::ReadResponse read = response::readResponseFile(path);
    if (read.silentTones > 0)
        printDiagnostic("warning: " + std::to_string(read.silentTones) + " tones with an amplitude of 0 were left out of " + path);
    return std::move(read.response);
}

// The operations' refusals name the file they refuse.
response::Processed processNamed(const response::Response& input, const response::ProcessOptions& options,
                                 const std::string& path) {
    try {
        return response::process(input, options);
    } catch (const Error& e) {
        throw Error(path + ": " + e.what());
    }
}

std::string smoothingText(const ProcessRequest& request) {
    if (request.smoothMode == "variable") return "variable";
    if (request.smooth.empty()) return {};
    return request.smooth + " octave " + request.smoothMode;
}

nlohmann::ordered_json optionalNumber(const std::optional<double>& value) {
    return value ? response::jsonValue(value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json slopeField(const response::Processed& processed, bool low) {
    if (!processed.minimum) return nullptr;
    return response::jsonValue(low ? processed.minimum->lowDbPerOctave : processed.minimum->highDbPerOctave);
}

int runProcess(const ProcessRequest& request) {
    std::string error;
    if (!checkProcessOutputs(request.outputs, {request.input}, error)) throw UsageError{error};
    const response::ProcessOptions options = optionsOf(request);
    const response::Response input = readInput(request.input);
    const response::Processed processed = processNamed(input, options, request.input);
    const response::Response& r = processed.response;
    if (processed.delayFound) std::printf("%s\n", delayLine(*processed.delayFound, r.sampleRate).c_str());
    if (processed.referenceRemoved) std::printf("%s\n", referenceDelayLine(*processed.referenceRemoved, input).c_str());
    if (processed.minimum)
        std::printf("Minimum phase: the magnitude extended at %+.2f dB/octave below %.6g Hz and %+.2f dB/octave above %.6g Hz\n",
                    processed.minimum->lowDbPerOctave, r.tones.front().frequency, processed.minimum->highDbPerOctave,
                    r.tones.back().frequency);
    const std::vector<response::SummaryField> summary{
        {"sample_rate", optionalNumber(r.sampleRate)},
        {"delay_s", processed.delayFound ? response::jsonValue(processed.delayFound->seconds) : nlohmann::ordered_json(nullptr)},
        {"delay_removed_s", response::jsonValue(r.delayRemoved)},
        {"reference_channel", r.referenceChannel ? nlohmann::ordered_json(*r.referenceChannel) : nlohmann::ordered_json(nullptr)},
        {"reference_delay_s", optionalNumber(r.referenceDelay)},
        {"smoothing", smoothingText(request).empty() ? nlohmann::ordered_json(nullptr)
                                                     : nlohmann::ordered_json(smoothingText(request))},
        {"extend_low_db_per_octave", slopeField(processed, true)},
        {"extend_high_db_per_octave", slopeField(processed, false)}};
    std::string comment = "Frequency response from " + request.input;
    if (!smoothingText(request).empty()) comment += ", smoothed " + smoothingText(request);
    if (r.delayRemoved != 0.0) {
        char removed[80];
        std::snprintf(removed, sizeof removed, ", %.6g ms of delay removed", r.delayRemoved * 1000.0);
        comment += removed;
    }
    comment += "; frequency (Hz), magnitude (dB re the full-scale test tone), phase (deg)";
    return writeProcessOutputs(request.outputs, r, summary, comment) ? kExitSuccess : kExitFailure;
}

std::vector<response::NamedResponse> readInputs(const std::vector<std::string>& paths) {
    std::vector<response::NamedResponse> inputs;
    for (const std::string& path : paths) inputs.push_back({path, readInput(path)});
    return inputs;
}

response::AverageMode averageModeOf(const std::string& mode) {
    if (mode == "vector") return response::AverageMode::vector;
    if (mode == "db") return response::AverageMode::db;
    return response::AverageMode::power;
}

int runAverage(const CombineRequest& request) {
    std::string error;
    if (!checkProcessOutputs(request.outputs, request.inputs, error)) throw UsageError{error};
    const response::Average result =
        response::average(readInputs(request.inputs), {averageModeOf(request.mode), request.alignLevelHz, request.force});
    for (const std::string& note : result.notes) std::printf("Note: %s\n", note.c_str());
    response::Response r = result.response;
    r.extraColumns.push_back("spread_db");
    for (std::size_t i = 0; i < r.tones.size(); ++i) r.tones[i].extra.push_back(result.spreadDb[i]);
    nlohmann::ordered_json inputs = nlohmann::ordered_json::array();
    for (const std::string& path : request.inputs) inputs.push_back(path);
    std::printf("Average (%s) of %zu responses, %zu tones\n", request.mode.c_str(), request.inputs.size(), r.tones.size());
    return writeProcessOutputs(request.outputs, r,
                               {{"sample_rate", optionalNumber(r.sampleRate)}, {"mode", request.mode}, {"inputs", inputs}},
                               request.mode + " average of " + std::to_string(request.inputs.size()) +
                                   " responses; frequency (Hz), magnitude (dB), phase (deg)")
               ? kExitSuccess
               : kExitFailure;
}

int runDiff(const CombineRequest& request) {
    std::string error;
    if (!checkProcessOutputs(request.outputs, request.inputs, error)) throw UsageError{error};
    const std::vector<response::NamedResponse> inputs = readInputs(request.inputs);
    const response::Response r = response::difference(inputs[0], inputs[1]);
    std::printf("Difference %s over %s, %zu tones\n", request.inputs[0].c_str(), request.inputs[1].c_str(), r.tones.size());
    return writeProcessOutputs(request.outputs, r,
                               {{"sample_rate", optionalNumber(r.sampleRate)}, {"numerator", request.inputs[0]},
                                {"denominator", request.inputs[1]}},
                               request.inputs[0] + " over " + request.inputs[1] +
                                   "; frequency (Hz), magnitude (dB), phase (deg)")
               ? kExitSuccess
               : kExitFailure;
}

// Runs a command and turns its refusals into messages and exit statuses.
template <typename Run>
int guarded(const char* command, Run run) {
    try {
        return run();
    } catch (const UsageError& e) {
        std::fprintf(stderr, "auralyn: %s: %s\nTry 'auralyn %s --help'.\n", command, e.message.c_str(), command);
        return kExitUsage;
    } catch (const Error& e) {
        printDiagnostic(e.what());
        return kExitFailure;
    }
}

void addOutputOptions(CLI::App* command, ProcessOutputs& outputs) {
    command->add_option("--csv", outputs.csv, "Write the tones as CSV (the columns of auralyn analyze and more)")->type_name("OUT");
    command->add_option("--json", outputs.json, "Write the tones as JSON")->type_name("OUT");
    command->add_option("--frd", outputs.frd, "Write FRD: frequency, dB, degrees, four decimals")->type_name("OUT");
    command->add_option("--phase", outputs.phase,
                        "wrapped (to ±180°) or unwrapped (continuous); default: unwrapped in CSV and JSON, wrapped in FRD")
        ->check(CLI::IsMember({"wrapped", "unwrapped"}))
        ->type_name("wrapped|unwrapped");
}

void addAverageCommand(CLI::App* process, int& exitCode) {
    auto request = std::make_shared<CombineRequest>();
    CLI::App* command = process->add_subcommand("average", "Average several responses tone by tone");
    command->add_option("INPUT", request->inputs, "Two or more responses (CSV, JSON or FRD)")->required()->expected(2, -1);
    command->add_option("--mode", request->mode, "vector (mean of H), power (mean of |H|², default) or db (mean of dB)")
        ->check(CLI::IsMember({"vector", "power", "db"}))
        ->type_name("vector|power|db");
    command->add_option("--align-level", request->alignLevelHz, "Level every input to the first's at HZ first")
        ->type_name("HZ")
        ->check(CLI::PositiveNumber);
    command->add_flag("--force", request->force, "Vector-average even inputs whose phases disagree");
    addOutputOptions(command, request->outputs);
    command->callback([request, &exitCode] { exitCode = guarded("process average", [&] { return runAverage(*request); }); });
}

void addDiffCommand(CLI::App* process, int& exitCode) {
    auto request = std::make_shared<CombineRequest>();
    CLI::App* command = process->add_subcommand("diff", "A over B, complex, tone by tone");
    command->add_option("INPUT", request->inputs, "A and B (CSV, JSON or FRD)")->required()->expected(2);
    addOutputOptions(command, request->outputs);
    command->callback([request, &exitCode] { exitCode = guarded("process diff", [&] { return runDiff(*request); }); });
}

}  // namespace

void addProcessCommand(CLI::App& app, int& exitCode) {
    auto request = std::make_shared<ProcessRequest>();
    CLI::App* command = app.add_subcommand(
        "process", "Smooth a response, take out its delay, add group delay and minimum/excess phase; average or divide responses");
    command->require_subcommand(0, 1);
    command->add_option("INPUT", request->input, "The response: CSV or JSON of auralyn analyze or process, or FRD")
        ->type_name("IN.csv|IN.json");
    addProcessingOptions(command, request->smooth, request->smoothMode, request->delay,
                         {"Fractional-octave smoothing, N from 1 to 96",
                          "power (mean of |H|², default), complex (mean of H), db (mean of dB), or variable "
                          "(1/48 octave below 100 Hz widening to 1/3 above 10 kHz, power)",
                          "auto: find the time of flight (the linear phase of the excess phase) and remove it; "
                          "reference: remove the delay of the time reference the input names; or remove SECONDS"});
    command->add_flag("--min-phase", request->minimumPhase,
                      "Add the minimum phase the magnitude implies, the excess phase and excess group delay");
    command->add_option("--extend-low", request->extendLow,
                        "Slope of the magnitude below the first tone for the minimum phase (default: the end slope, "
                        "rounded to a multiple of 6.02)")
        ->type_name("DB_PER_OCTAVE");
    command->add_option("--extend-high", request->extendHigh, "Slope above the last tone (default: as --extend-low)")
        ->type_name("DB_PER_OCTAVE");
    command->add_option("--points-per-octave", request->pointsPerOctave,
                        "Resample the outputs onto a log grid through 1 kHz")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    addOutputOptions(command, request->outputs);
    addAverageCommand(command, exitCode);
    addDiffCommand(command, exitCode);
    command->callback([command, request, &exitCode] {
        if (command->get_subcommands().size() > 0) return;
        exitCode = guarded("process", [&] {
            if (request->input.empty()) throw UsageError{"give the response to process, or average / diff"};
            return runProcess(*request);
        });
    });
}

}  // namespace auralyn::cli

#else

namespace auralyn::cli {

void addProcessCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("process", "Smooth, delay, minimum phase, average (not in this build)");
    command->allow_extras();
    command->callback([&exitCode] {
        printDiagnostic("process is not available in this build (it needs FFTW3)");
        exitCode = kExitFailure;
    });
}

}  // namespace auralyn::cli

#endif
