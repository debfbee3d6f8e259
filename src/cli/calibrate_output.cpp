// auralyn calibrate output: the output side of a profile, the volts RMS of a
// full-scale sine at the output, from a voltmeter's reading of a tone this
// command plays, or from a loopback recording into an input calibrated in volts.
#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "cli/calibrate_parts.h"
#include "cli/calibration_tone_player.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "platform/printed.h"

namespace auralyn::cli {
namespace {

using calibration::OutputCalibration;

struct CalibrateOutput {
    std::string loopbackPath;
    std::optional<double> voltsRms;
    double frequencyHz = 1000.0;
    std::optional<double> levelDbfs;
    double toleranceDb = 0.0;
    int channel = 1;
    bool noPlay = false;
    TonePlayback playback;
    std::string calibrationPath;  // the input side for a loopback, where -o's profile lacks it
    std::string profilePath;
};

void addOptions(CLI::App* command, CalibrateOutput& c) {
    command->add_option("LOOPBACK", c.loopbackPath,
                        "a recording of a steady tone played at --level, wired from the output into the input "
                        "calibrated in volts")
        ->type_name("LOOPBACK.wav");
    command->add_option("--volts-rms", c.voltsRms, "the voltmeter's reading of the tone this command plays")
        ->type_name("V")->check(CLI::PositiveNumber);
    command->add_option("--frequency", c.frequencyHz, "the tone's frequency")->type_name("HZ")
        ->check(CLI::Range(1.0, 100000.0))->default_str("1000");
    command->add_option("--level", c.levelDbfs, "the tone's level (0: a full-scale sine)")->type_name("DBFS")
        ->check(CLI::Range(-120.0, 0.0));
    command->add_option("--tolerance-db", c.toleranceDb, "the voltmeter's (or the loopback's) tolerance")
        ->type_name("DB")->check(CLI::Range(0.0, 20.0))->default_str("0");
    command->add_option("--channel", c.channel, "the loopback recording's channel, counted from 1")->type_name("N")
        ->check(CLI::PositiveNumber)->default_str("1");
    command->add_flag("--no-play", c.noPlay, "only compute: the tone was played by other means");
    command->add_option("--output-device", c.playback.outputDevice, "the output to play the tone on")->type_name("NAME");
    command->add_option("--input-device", c.playback.inputDevice, "the input opened alongside (its recording is unused)")
        ->type_name("NAME");
    command->add_option("--rate", c.playback.sampleRate, "the tone's sampling rate")->type_name("HZ")
        ->check(CLI::Range(8000, 384000))->default_str("48000");
    command->add_option("--seconds", c.playback.maxSeconds, "play at most this long (Enter stops earlier)")
        ->type_name("S")->check(CLI::Range(1.0, 600.0))->default_str("120");
    command->add_option("--calibration", c.calibrationPath, "a profile whose input side is calibrated in volts")
        ->type_name("PROFILE.json");
    addProfileOption(command, c.profilePath);
}

std::string usageProblem(const CalibrateOutput& c) {
    const bool loopback = !c.loopbackPath.empty();
    if (!c.levelDbfs) return "--level DBFS is needed: the level the tone is played at";
    if (loopback && c.voltsRms) return "give a LOOPBACK recording or --volts-rms, not both";
    if (!loopback && !c.voltsRms) return "give --volts-rms V (a voltmeter's reading) or a LOOPBACK recording";
    return {};
}

// The input's dBFS at 1 V RMS, from --calibration or else the profile being updated.
std::optional<double> inputVolts(const CalibrateOutput& c, const std::optional<calibration::CalibrationProfile>& updated) {
    std::optional<calibration::CalibrationProfile> profile = updated;
    if (!c.calibrationPath.empty()) {
        try {
            profile = calibration::readProfile(c.calibrationPath);
        } catch (const calibration::ProfileError& error) {
            printDiagnostic(error.what());
            return std::nullopt;
        }
    }
    if (profile && profile->input && profile->input->dbfsAt1Vrms) return profile->input->dbfsAt1Vrms;
    printDiagnostic("calibrate output: a loopback needs an input calibrated in volts (calibrate input --volts-rms "
                    "or --input-gain-dbv) in the -o profile or in --calibration");
    return std::nullopt;
}

bool fromLoopback(const CalibrateOutput& c, double dbfsAt1V, OutputCalibration& output) {
    const auto recorded = recordedCalibrationTone(c.loopbackPath, c.channel);
    if (!recorded) return false;
    // The tone's dBV at the input is its dBV at the output; full scale lies --level above it.
    const double toneDbv = recorded->tone.levelDbfs - dbfsAt1V;
    output.voltsRmsAtFullScale = std::pow(10.0, (toneDbv - *c.levelDbfs) / 20.0);
    output.frequencyHz = recorded->tone.frequencyHz;
    output.sampleRateHz = recorded->format.sampleRate;
    output.source = "loopback " + c.loopbackPath;
    return true;
}

bool fromVoltmeter(const CalibrateOutput& c, OutputCalibration& output) {
    if (!c.noPlay) {
        TonePlayback playback = c.playback;
        playback.frequencyHz = c.frequencyHz;
        playback.levelDbfs = *c.levelDbfs;
        if (!playToneUntilEnter(playback)) return false;
        output.sampleRateHz = c.playback.sampleRate;
        output.outputDevice = c.playback.outputDevice;
    }
    output.voltsRmsAtFullScale = *c.voltsRms / std::pow(10.0, *c.levelDbfs / 20.0);
    output.frequencyHz = c.frequencyHz;
    output.source = "voltmeter reading of " + std::to_string(*c.voltsRms) + " V RMS";
    return true;
}

int runOutput(const CalibrateOutput& c) {
    const ProfileToUpdate target = profileToUpdate("calibrate output", usageProblem(c), c.profilePath);
    if (target.refusal != kExitSuccess) return target.refusal;
    const auto& profile = target.existing;
    OutputCalibration output;
    output.toleranceDb = c.toleranceDb;
    if (!c.loopbackPath.empty()) {
        const auto dbfsAt1V = inputVolts(c, profile);
        if (!dbfsAt1V || !fromLoopback(c, *dbfsAt1V, output)) return kExitFailure;
    } else if (!fromVoltmeter(c, output)) {
        return kExitFailure;
    }
    output.date = calibration::utcNow();
    const std::string done = platform::printed("calibrate: full scale is %.6g V RMS (%.3f dBV); output side written to ",
                                               output.voltsRmsAtFullScale,
                                               20.0 * std::log10(output.voltsRmsAtFullScale));
    return writeProfileSides(c.profilePath, {std::nullopt, output}, done + c.profilePath);
}

}  // namespace

void addCalibrateOutput(CLI::App& calibrate, int& exitCode) {
    addRequestCommand<CalibrateOutput>(
        calibrate, exitCode, "output",
        "The output's volts RMS at full scale: plays a steady tone (--frequency, --level) until Enter while you "
        "read it with a voltmeter, then takes --volts-rms; or measures a LOOPBACK recording of a tone played at "
        "--level into an input calibrated in volts",
        addOptions, runOutput);
}

}  // namespace auralyn::cli
