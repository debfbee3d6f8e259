// auralyn calibrate: the calibration profile of a setup, its input side (the
// dBFS that 94 dB SPL or 1 V RMS reads), its output side (the volts of full
// scale), and a look at it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/calibrate_parts.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/recording_channel.h"
#include "platform/staged_file.h"

namespace auralyn::cli {

ProfileToUpdate profileToUpdate(const std::string& command, const std::string& usageProblem, const std::string& path) {
    if (!usageProblem.empty()) {
        printDiagnostic(command + ": " + usageProblem);
        return {std::nullopt, kExitUsage};
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return {};
    try {
        return {calibration::readProfile(path), kExitSuccess};
    } catch (const calibration::ProfileError& e) {
        printDiagnostic(std::string(e.what()) + " (not overwritten; choose another -o file)");
        return {std::nullopt, kExitFailure};
    }
}

void addProfileOption(CLI::App* command, std::string& profilePath) {
    command->add_option("-o,--output", profilePath, "the profile to write or update")
        ->required()
        ->type_name("PROFILE.json");
}

std::optional<RecordedTone> recordedCalibrationTone(const std::string& path, int channel) {
    const auto recorded = readRecordingChannel(path, channel);
    if (!recorded) return std::nullopt;
    const auto result = calibration::analyzeCalibratorTone(recorded->samples, recorded->format.sampleRate);
    if (!result.tone) {
        printDiagnostic(path + ": refused: " + result.refusal);
        return std::nullopt;
    }
    return RecordedTone{*result.tone, recorded->format};
}

int writeProfileSides(const std::string& path, const calibration::CalibrationProfile& sides, const std::string& done) {
    std::string existing;
    std::error_code exists;
    if (std::filesystem::exists(path, exists) && !platform::isDevice(path)) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        existing = text.str();
    }
    std::string text;
    try {
        text = calibration::updatedProfileJson(existing, path, sides);
    } catch (const calibration::ProfileError& e) {
        printDiagnostic(e.what());
        return kExitFailure;
    }
    platform::StagedFile staged(path);
    std::string error;
    if (!platform::writeStagedText(staged, text, error) || !staged.commit(error)) {
        printDiagnostic(error);
        return kExitFailure;
    }
    std::printf("%s\n", done.c_str());
    return kExitSuccess;
}

void addCalibrateCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "calibrate",
        "Calibrate a setup once, into a profile that analyze, measure and plot take with --calibration: "
        "'calibrate input' finds the input's dBFS at 94 dB SPL (or at 1 V RMS), 'calibrate output' the output's "
        "volts at full scale, 'calibrate show' prints a profile. An existing profile given with -o is updated: "
        "the side calibrated is replaced, the other kept.");
    command->require_subcommand(1);
    addCalibrateInput(*command, exitCode);
    addCalibrateOutput(*command, exitCode);
    addCalibrateShow(*command, exitCode);
}

}  // namespace auralyn::cli
