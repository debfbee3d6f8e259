// auralyn impedance: a driver's (or any load's) impedance per tone from a
// two-channel recording of the sweep through a sense resistor, as ZMA, CSV,
// JSON and a plot.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#ifdef AURALYN_HAVE_CALIBRATION
#include "cli/analyze_calibration.h"
#endif
#include "cli/analyze_summary.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/impedance_drive.h"
#include "cli/impedance_files.h"
#include "cli/impedance_request.h"
#include "cli/recording_input.h"
#include "cli/recording_samples.h"
#include "cli/shared_options.h"
#include "impedance/impedance_measurement.h"
#include "impedance/impedance_table.h"
#include "impedance/recording_ratio.h"
#include "impedance/zma_file.h"
#include "platform/path_names.h"
#include "platform/utc_time.h"

namespace auralyn::cli {
namespace {

using impedance::RatioTone;


void addOptions(CLI::App* c, ImpedanceRequest& r) {
    c->add_option("RECORDING", r.recordingPath, "the two-channel recording of the sweep through the sense resistor")
        ->required()
        ->type_name("RECORDING.wav");
    c->add_option("SWEEP", r.parameterPath, "the sweep's parameter file")->required()->type_name("SWEEP.swp");
    c->add_option("--sense-resistor", r.senseOhms, "the sense resistor Rs in ohms")->required()->type_name("OHMS");
    addShownOption(c, "--channel", r.channel, "the channel across the driver, counted from 1", "N", "1");
    addShownOption(c, "--reference-channel", r.referenceChannel,
                   "series: the drive (the output side of Rs); across-resistor: the channel across Rs", "M", "2");
    addShownOption(c, "--wiring", r.wiring,
                   "series: Z = Rs H / (1 - H); across-resistor: Z = Rs H (H: channel over reference)",
                   "series|across-resistor", "series")
        ->check(CLI::IsMember({"series", "across-resistor"}));
    addShownOption(c, "--input-impedance", r.inputImpedance,
                   "the recording inputs' resistance, taken out of the result", "OHMS", "none");
    c->add_option("--short", r.shortPath, "a recording of the leads shorted: their impedance is subtracted")
        ->type_name("REC.wav");
    c->add_option("--reference-resistor", r.referenceResistor,
                  "a recording of a precision resistor in the driver's place: corrects the channels' mismatch")
        ->expected(2)
        ->type_name("REC.wav OHMS");
    addShownOption(c, "--sense-tolerance", r.senseTolerance, "Rs's tolerance in percent, added to the intervals",
                   "PCT", "0");
    auto* profile = c->add_option("--calibration", r.calibrationPath,
                                  "a calibration profile: its input's volts calibration gives the drive in volts")
                        ->type_name("PROFILE.json");
    c->add_option("--drive-volts", r.driveVolts,
                  "the drive's RMS voltage as a voltmeter reads it while the sweep plays: the drive in volts")
        ->type_name("V")
        ->excludes(profile);
    c->add_option("-o,--output", r.zmaPath, "write the ZMA file")->type_name("Z.zma")->default_str(
        "without -o, --csv, --json and --plot: the recording's name with .zma, here");
    c->add_option("--csv", r.csvPath, "write one row per tone with the intervals")->type_name("FILE");
    c->add_option("--json", r.jsonPath, "write {\"tones\": [...]} with the intervals")->type_name("FILE");
    c->add_option("--plot", r.plotPath, "write |Z| and phase with their 95 % band as SVG")->type_name("FILE.svg");
}

// A choice the command line got wrong; printed, exit 2.
std::string requestProblem(const ImpedanceRequest& r) {
    if (!(r.senseOhms > 0.0)) return "--sense-resistor must be above 0 ohms";
    if (r.inputImpedance && !(*r.inputImpedance > 0.0)) return "--input-impedance must be above 0 ohms";
    if (!(r.senseTolerance >= 0.0 && r.senseTolerance < 100.0)) return "--sense-tolerance must lie from 0 to 100 percent";
    if (r.driveVolts && !(*r.driveVolts > 0.0 && std::isfinite(*r.driveVolts))) return "--drive-volts must be above 0";
    if (r.channel == r.referenceChannel) return "--reference-channel must name another channel than --channel";
    if (!r.referenceResistor.empty()) {
        char* end = nullptr;
        const double ohms = std::strtod(r.referenceResistor[1].c_str(), &end);
        if (end == r.referenceResistor[1].c_str() || *end != '\0' || !(ohms > 0.0))
            return "--reference-resistor: '" + r.referenceResistor[1] + "' is not a resistance above 0 ohms";
    }
    return {};
}

impedance::Fixture fixtureOf(const ImpedanceRequest& r) {
    impedance::Fixture f;
    f.wiring = r.wiring == "series" ? impedance::Wiring::Series : impedance::Wiring::AcrossResistor;
    f.senseOhms = r.senseOhms;
    f.senseTolerancePercent = r.senseTolerance;
    f.inputImpedanceOhms = r.inputImpedance;
    return f;
}

std::string channelProblem(const ImpedanceRequest& r, int channels) {
    if (channels < 2)
        return "has one channel; an impedance needs two: the driver's voltage (--channel) and the drive "
               "(--reference-channel)";
    for (const auto& [option, value] : {std::pair{"--channel", r.channel}, std::pair{"--reference-channel", r.referenceChannel}})
        if (value < 1 || value > channels)
            return "has " + std::to_string(channels) + " channels; " + option + " " + std::to_string(value) +
                   " is not one of them";
    return {};
}

#ifdef AURALYN_HAVE_CALIBRATION

// Every channel of a recording deeper than 16 bits through the general
// reader; the exit status when they cannot be had.
std::optional<int> readDeepChannels(const ImpedanceRequest& r, const sweep::SweepPlan& plan, const std::string& path,
                                    std::vector<std::vector<analysis::Sample>>& channels, double& step) {
    recording::RecordingFormat format;
    const auto samples = readRecordingChannels(path, format);
    if (!samples || !checkMeasurableFormat(path, format, plan.params().sampleRate)) return kExitFailure;
    if (const std::string problem = channelProblem(r, format.channels); !problem.empty()) {
        printDiagnostic(path + ": " + problem);
        return kExitUsage;
    }
    for (const std::vector<double>& channel : *samples) channels.push_back(samplesFromFullScale(channel));
    step = resolutionStep(format.encoding);
    return std::nullopt;
}

#endif

// Every channel of a 16-bit recording through the kit's own reader (whose
// header checks are stricter), of a deeper one through the general reader
// where the build has it; the exit status when they cannot be had.
std::optional<int> readChannels(const ImpedanceRequest& r, const sweep::SweepPlan& plan, const std::string& path,
                                std::vector<std::vector<analysis::Sample>>& channels, double& step) {
#ifdef AURALYN_HAVE_CALIBRATION
    if (readsAsDeeperThan16Bits(path)) return readDeepChannels(r, plan, path, channels, step);
#endif
    wave::WaveFile recording;
    if (!openRecording(path, recording) || !checkRecordingFormat(path, recording, plan)) return kExitFailure;
    if (const std::string problem = channelProblem(r, recording.channels); !problem.empty()) {
        printDiagnostic(path + ": " + problem);
        return kExitUsage;
    }
    std::string error;
    if (!readAllChannels(recording, channels, error)) {
        printDiagnostic(path + ": " + error);
        return kExitFailure;
    }
    step = 1.0;
    return std::nullopt;
}

// The ratio per tone of one recording; the exit status when it cannot be had.
std::optional<int> loadRatio(const ImpedanceRequest& r, const sweep::SweepPlan& plan, const std::string& path,
                             std::vector<RatioTone>& tones) {
    std::vector<std::vector<analysis::Sample>> channels;
    double step = 1.0;
    if (const auto status = readChannels(r, plan, path, channels, step)) return status;
    const impedance::RecordingRatio ratio = impedance::ratioOfRecording(
        plan, {channels[static_cast<std::size_t>(r.channel - 1)], channels[static_cast<std::size_t>(r.referenceChannel - 1)],
               step});
    const analysis::SweepAnalysis& analysis = ratio.ratio.sweep;
    printClipping(path, analysis);
    if (!analysis.complete()) {
        printFailure(path, analysis);
        return kExitFailure;
    }
    if (ratio.ratio.pulseFound && printClockProblem(path, ratio.ratio.clock)) return kExitFailure;
    tones = ratio.tones;
    return std::nullopt;
}

std::string today() { return platform::utcText(std::time(nullptr), "%Y-%m-%d"); }

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string baseName(const std::string& path) {
    const platform::PathOffsets offsets = platform::pathOffsets(path);
    return platform::recordingName(path, offsets.file, offsets.extension).baseName;
}

std::string fileName(const std::string& path) {
    const platform::PathOffsets offsets = platform::pathOffsets(path);
    return platform::recordingName(path, offsets.file, offsets.extension).fileName;
}

std::string fixtureLine(const ImpedanceRequest& r) {
    std::string text = "Sense resistor: " + number(r.senseOhms) + " ohm";
    if (r.senseTolerance > 0.0) text += " +-" + number(r.senseTolerance) + " %";
    text += ", " + r.wiring + " wiring";
    if (r.inputImpedance) text += ", input impedance " + number(*r.inputImpedance) + " ohm";
    if (!r.shortPath.empty()) text += ", leads from " + fileName(r.shortPath);
    if (!r.referenceResistor.empty()) text += ", channels matched on " + r.referenceResistor[1] + " ohm";
    return text;
}

std::string zmaText(const ImpedanceRequest& r, const impedance::ImpedanceCurve& curve) {
    std::ostringstream out;
    impedance::writeZma(out, curve,
                        {"Impedance of " + fileName(r.recordingPath) + ", measured by auralyn",
                         "Columns: frequency (Hz), magnitude (ohm), phase (degrees)", fixtureLine(r), "Date: " + today()});
    return out.str();
}

nlohmann::json about(const ImpedanceRequest& r, const impedance::ImpedanceMeasurement& m) {
    nlohmann::json a = {{"recording", fileName(r.recordingPath)},
                        {"sense_resistor_ohm", r.senseOhms},
                        {"sense_tolerance_percent", r.senseTolerance},
                        {"wiring", r.wiring},
                        {"tones_left_out", m.tonesLeftOut}};
    a["input_impedance_ohm"] = r.inputImpedance ? nlohmann::json(*r.inputImpedance) : nlohmann::json(nullptr);
    return a;
}

bool writeOutputs(const ImpedanceRequest& r, const impedance::ImpedanceMeasurement& m) {
    bool all = true;
    const bool none = r.zmaPath.empty() && r.csvPath.empty() && r.jsonPath.empty() && r.plotPath.empty();
    const std::string zma = none ? baseName(r.recordingPath) + ".zma" : r.zmaPath;
    if (!zma.empty()) all = writeWholeFile(zma, zmaText(r, m.curve)) && all;
    if (!r.csvPath.empty()) {
        std::ostringstream out;
        impedance::writeImpedanceCsv(out, m.curve);
        all = writeWholeFile(r.csvPath, out.str()) && all;
    }
    if (!r.jsonPath.empty()) all = writeWholeFile(r.jsonPath, impedance::impedanceJson(m.curve, about(r, m)).dump(2) + "\n") && all;
    if (!r.plotPath.empty()) {
        const std::string svg = impedancePlotSvg("Impedance of \"" + fileName(r.recordingPath) + "\"", fixtureLine(r),
                                                 {{fileName(r.recordingPath), &m.curve, false}});
        all = writeWholeFile(r.plotPath, svg) && all;
    }
    return all;
}

void printImpedanceSummary(const impedance::ImpedanceMeasurement& m) {
    const impedance::ImpedancePoint* peak = &m.curve.front();
    double least = impedance::magnitudeOf(m.curve.front());
    for (const impedance::ImpedancePoint& p : m.curve) {
        if (impedance::magnitudeOf(p) > impedance::magnitudeOf(*peak)) peak = &p;
        least = std::min(least, impedance::magnitudeOf(p));
    }
    std::printf("Impedance: %zu tones from %s Hz to %s Hz; |Z| %.3g to %.3g ohm, the largest at %s Hz\n",
                m.curve.size(), number(m.curve.front().frequency).c_str(), number(m.curve.back().frequency).c_str(),
                least, impedance::magnitudeOf(*peak), number(peak->frequency).c_str());
    if (m.tonesLeftOut > 0)
        printDiagnostic("warning: " + std::to_string(m.tonesLeftOut) +
                        " tones gave no impedance (a channel without the tone, or a ratio no passive load gives)");
}

}  // namespace

int runImpedanceRequest(const ImpedanceRequest& r) {
    if (const std::string problem = requestProblem(r); !problem.empty()) {
        printDiagnostic(problem);
        return kExitUsage;
    }
    const std::string resistorPath = r.referenceResistor.empty() ? std::string() : r.referenceResistor[0];
    if (!pathsAreDistinct({r.zmaPath, r.csvPath, r.jsonPath, r.plotPath},
                          {r.recordingPath, r.parameterPath, r.shortPath, resistorPath}))
        return kExitUsage;
    sweep::SweepPlan plan;
    if (!loadParameters(r.parameterPath, plan)) return kExitFailure;
    plan.lock();
    std::vector<RatioTone> tones, shorted, resistor;
    if (const auto status = loadRatio(r, plan, r.recordingPath, tones)) return *status;
    if (!r.shortPath.empty())
        if (const auto status = loadRatio(r, plan, r.shortPath, shorted)) return *status;
    if (!resistorPath.empty())
        if (const auto status = loadRatio(r, plan, resistorPath, resistor)) return *status;
    impedance::Compensation compensation;
    if (!r.shortPath.empty()) compensation.shortCircuit = &shorted;
    if (!resistorPath.empty()) {
        compensation.resistor = &resistor;
        compensation.resistorOhms = std::strtod(r.referenceResistor[1].c_str(), nullptr);
    }
    impedance::ImpedanceMeasurement m = impedance::measureImpedance(tones, fixtureOf(r), compensation);
    if (!m.ok()) {
        printDiagnostic(r.recordingPath + ": " + impedance::describe(m.problem));
        return kExitFailure;
    }
    if (!addDriveVolts(r, m.curve)) return kExitFailure;
    const bool written = writeOutputs(r, m);
    printImpedanceSummary(m);
    return written ? kExitSuccess : kExitFailure;
}

void addImpedanceCommand(CLI::App& app, int& exitCode) {
    addRequestCommand<ImpedanceRequest>(
        app, exitCode, "impedance",
        "Measure an impedance (a loudspeaker driver's) from a two-channel recording of the sweep through a sense "
        "resistor: channel 1 across the driver, channel 2 the drive. Writes ZMA (default: the recording's name with "
        ".zma, here), and with --csv and --json each tone's |Z| and phase with their 95 % intervals.",
        addOptions, runImpedanceRequest);
}

}  // namespace auralyn::cli
