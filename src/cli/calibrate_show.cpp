// auralyn calibrate show: a calibration profile in words.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/calibrate_parts.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

std::string provenance(const std::string& source, const std::string& date, const std::optional<double>& rate,
                       const std::string& device) {
    std::string text;
    const auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (!source.empty()) add("from " + source);
    if (!date.empty()) add(date);
    if (rate) add(std::to_string(static_cast<long long>(std::llround(*rate))) + " Hz");
    if (!device.empty()) add("device \"" + device + "\"");
    return text;
}

void printInput(const calibration::InputCalibration& input) {
    if (input.dbfsAt94DbSpl) {
        std::printf("input:  94 dB SPL reads %.3f dBFS at %.6g Hz (calibrator tolerance %.3g dB)\n", *input.dbfsAt94DbSpl,
                    input.frequencyHz, input.toleranceDb);
    }
    if (input.dbfsAt1Vrms) std::printf("input:  1 V RMS reads %.3f dBFS\n", *input.dbfsAt1Vrms);
    std::string where = provenance(input.source, input.date, input.sampleRateHz, input.inputDevice);
    if (input.channel) where += (where.empty() ? "" : "; ") + std::string("channel ") + std::to_string(*input.channel);
    if (!where.empty()) std::printf("        %s\n", where.c_str());
}

void printOutput(const calibration::OutputCalibration& output) {
    std::printf("output: full scale is %.6g V RMS (%.3f dBV) at %.6g Hz (tolerance %.3g dB)\n",
                output.voltsRmsAtFullScale, 20.0 * std::log10(output.voltsRmsAtFullScale), output.frequencyHz,
                output.toleranceDb);
    const std::string where = provenance(output.source, output.date, output.sampleRateHz, output.outputDevice);
    if (!where.empty()) std::printf("        %s\n", where.c_str());
}

int runShow(const std::string& path) {
    try {
        const calibration::CalibrationProfile profile = calibration::readProfile(path);
        if (profile.input) printInput(*profile.input);
        if (!profile.input) std::printf("input:  not calibrated\n");
        if (profile.output) printOutput(*profile.output);
        if (!profile.output) std::printf("output: not calibrated\n");
        return kExitSuccess;
    } catch (const calibration::ProfileError& error) {
        printDiagnostic(error.what());
        return kExitFailure;
    }
}

}  // namespace

void addCalibrateShow(CLI::App& calibrate, int& exitCode) {
    CLI::App* command = calibrate.add_subcommand("show", "Print what a calibration profile holds");
    auto path = std::make_shared<std::string>();
    command->add_option("PROFILE", *path, "the profile")->required()->type_name("PROFILE.json");
    command->callback([path, &exitCode] { exitCode = runShow(*path); });
}

}  // namespace auralyn::cli
