// auralyn calibrate input: the input side of a profile, from a recording of an
// acoustic calibrator (--spl), of a known voltage (--volts-rms), from a
// sensitivity given directly, or from a cal file's header and the input's gain.
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "calibration/cal_file.h"
#include "calibration/tone_conversion.h"
#include "cli/calibrate_parts.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "recording/recording_format.h"

namespace auralyn::cli {
namespace {

using calibration::InputCalibration;

struct CalibrateInput {
    std::string recordingPath;
    std::optional<double> spl;
    std::optional<double> voltsRms;
    std::optional<double> sensitivity;  // dBFS at 94 dB SPL, given
    std::optional<double> inputGainDbv; // dBFS of a 1 V RMS sine
    std::string micCalPath;             // its header's sensitivity, with inputGainDbv
    double toleranceDb = 0.4;
    int channel = 1;
    std::string inputDevice;
    std::string profilePath;
};

void addOptions(CLI::App* command, CalibrateInput& c) {
    command->add_option("RECORDING", c.recordingPath, "a recording of the calibrator's tone (or of a known voltage)")
        ->type_name("CAL.wav");
    command->add_option("--spl", c.spl, "the calibrator's level in dB SPL (94 or 114)")->type_name("DB")
        ->check(CLI::Range(0.0, 200.0));
    command->add_option("--volts-rms", c.voltsRms, "the recording is of a sine of this many volts RMS at the input")
        ->type_name("V")->check(CLI::PositiveNumber);
    command->add_option("--sensitivity", c.sensitivity, "the input's dBFS at 94 dB SPL, known already")
        ->type_name("DBFS_AT_94")->check(CLI::Range(-300.0, 100.0));
    command->add_option("--input-gain-dbv", c.inputGainDbv,
                        "the level in dBFS that a 1 V RMS sine reads at the input; with --mic-cal the header's "
                        "sensitivity (dBV re 1 V/Pa, or the Sens Factor) plus this is the dBFS at 94 dB SPL")
        ->type_name("DBFS")->check(CLI::Range(-300.0, 300.0));
    command->add_option("--mic-cal", c.micCalPath, "a cal file whose header states the microphone's sensitivity")
        ->type_name("FILE");
    command->add_option("--tolerance-db", c.toleranceDb, "the calibrator's tolerance (class 1: 0.4, class 2: 0.75)")
        ->type_name("DB")->check(CLI::Range(0.0, 20.0))->default_str("0.4");
    command->add_option("--channel", c.channel, "the recording's channel, counted from 1")->type_name("N")
        ->check(CLI::PositiveNumber)->default_str("1");
    command->add_option("--input-device", c.inputDevice, "the input's name, kept to warn when another is measured")
        ->type_name("NAME");
    addProfileOption(command, c.profilePath);
}

// Exactly one way to the input's figure, or a bad command line.
std::string usageProblem(const CalibrateInput& c) {
    const bool recording = !c.recordingPath.empty();
    if (recording && c.spl && c.voltsRms) return "give --spl or --volts-rms, not both";
    if (recording && !c.spl && !c.voltsRms) return "a recording needs --spl DB (a calibrator) or --volts-rms V";
    if (!recording && (c.spl || c.voltsRms)) return "--spl and --volts-rms describe a RECORDING; name one";
    if (recording && c.sensitivity) return "give a RECORDING or --sensitivity, not both";
    if (!c.micCalPath.empty() && !c.inputGainDbv) return "--mic-cal needs --input-gain-dbv to give dB SPL";
    if (!recording && !c.sensitivity && !c.inputGainDbv)
        return "give a RECORDING with --spl or --volts-rms, --sensitivity DBFS_AT_94, or --input-gain-dbv";
    return {};
}

bool fromRecording(const CalibrateInput& c, InputCalibration& input) {
    const auto recorded = recordedCalibrationTone(c.recordingPath, c.channel);
    if (!recorded) return false;
    const calibration::CalibratorTone& tone = recorded->tone;
    if (c.spl) {
        input.dbfsAt94DbSpl = tone.levelDbfs - (*c.spl - 94.0);
        input.frequencyHz = tone.frequencyHz;
        input.toleranceDb = c.toleranceDb;
        input.readingStandardDb = tone.levelStandardDb;
        std::printf("calibrate: %.6g Hz at %.3f dBFS for %.6g dB SPL: 94 dB SPL reads %.3f dBFS\n", tone.frequencyHz,
                    tone.levelDbfs, *c.spl, *input.dbfsAt94DbSpl);
    } else {
        input.dbfsAt1Vrms = tone.levelDbfs - 20.0 * std::log10(*c.voltsRms);
        std::printf("calibrate: %.6g Hz at %.3f dBFS for %.6g V RMS: 1 V RMS reads %.3f dBFS\n", tone.frequencyHz,
                    tone.levelDbfs, *c.voltsRms, *input.dbfsAt1Vrms);
    }
    input.source = "recording " + c.recordingPath + " (" + recording::describe(recorded->format) + ")";
    input.sampleRateHz = recorded->format.sampleRate;
    input.channel = c.channel;
    return true;
}

bool fromMicCalHeader(const CalibrateInput& c, InputCalibration& input) {
    try {
        const calibration::CalCurve curve = calibration::readCalFile(c.micCalPath);
        const auto dbfs = calibration::dbfsAt94FromHeader(curve.header, *c.inputGainDbv);
        if (!dbfs) {
            printDiagnostic(c.micCalPath + ": states no sensitivity (no \"Sens Factor\" or \"*1000Hz\" line)");
            return false;
        }
        input.dbfsAt94DbSpl = *dbfs;
        input.frequencyHz = curve.header.sensitivityFrequencyHz.value_or(1000.0);
        input.toleranceDb = c.toleranceDb;
        input.source = "header of " + c.micCalPath + " with an input gain of " + std::to_string(*c.inputGainDbv) + " dBFS at 1 V";
        return true;
    } catch (const calibration::CalFileError& error) {
        printDiagnostic(error.what());
        return false;
    }
}

int runInput(const CalibrateInput& c) {
    const ProfileToUpdate target = profileToUpdate("calibrate input", usageProblem(c), c.profilePath);
    if (target.refusal != kExitSuccess) return target.refusal;
    const auto& profile = target.existing;
    // The input side is updated field by field: an acoustic and an electrical
    // calibration of one input live side by side.
    InputCalibration input = profile && profile->input ? *profile->input : InputCalibration{};
    if (!c.recordingPath.empty() && !fromRecording(c, input)) return kExitFailure;
    if (c.sensitivity) {
        input.dbfsAt94DbSpl = *c.sensitivity;
        input.toleranceDb = c.toleranceDb;
        input.readingStandardDb = 0.0;
        input.source = "sensitivity given";
    }
    if (!c.micCalPath.empty() && !fromMicCalHeader(c, input)) return kExitFailure;
    if (c.inputGainDbv) input.dbfsAt1Vrms = *c.inputGainDbv;
    input.date = calibration::utcNow();
    if (!c.inputDevice.empty()) input.inputDevice = c.inputDevice;
    return writeProfileSides(c.profilePath, {input, std::nullopt}, "calibrate: input side written to " + c.profilePath);
}

}  // namespace

void addCalibrateInput(CLI::App& calibrate, int& exitCode) {
    addRequestCommand<CalibrateInput>(
        calibrate, exitCode, "input",
        "The input's sensitivity: from a recording of an acoustic calibrator (--spl 94 or 114: a steady tone, "
        "refused with the reason when it clips, is silent, holds two tones or varies by more than 0.5 dB), from a "
        "recording of a known voltage (--volts-rms), given directly (--sensitivity), or from a cal file's header "
        "with the input's gain (--mic-cal with --input-gain-dbv)",
        addOptions, runInput);
}

}  // namespace auralyn::cli
