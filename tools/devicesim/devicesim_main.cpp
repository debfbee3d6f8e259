// devicesim: plays a WAV file through a simulated device under test.
#include <cstdio>
#include <string>
#include <vector>

#include "devicesim/device_options.h"
#include "devicesim/response_table.h"
#include "devicesim/wave_through_device.h"
#include "echoplot/report_reader.h"

namespace {

using namespace auralyn;
using namespace auralyn::devicesim;

int fail(const std::string& message) {
    std::fprintf(stderr, "devicesim: %s\n", message.c_str());
    return 1;
}

int printResponse(const Device& device, const std::vector<double>& frequencies, double sampleRate) {
    const std::string problem = checkDevice(device, sampleRate);
    if (!problem.empty()) return fail(problem);
    for (double frequency : frequencies) {
        if (frequency > sampleRate / 2.0) {
            char text[120];
            std::snprintf(text, sizeof text, "%g Hz lies above half the sampling rate (%g Hz)", frequency,
                          sampleRate / 2.0);
            return fail(text);
        }
    }
    std::fputs(responseTable(device, frequencies, sampleRate).c_str(), stdout);
    return 0;
}

int printResponseForReport(const Device& device, const std::string& reportPath) {
    tools::Report report;
    std::string error;
    if (!tools::readReportFile(reportPath, report, error)) return fail(error);
    std::vector<double> frequencies;
    for (const tools::ReportTone& tone : report.tones) frequencies.push_back(tone.frequency);
    return printResponse(device, frequencies, report.sampleRate);
}

int processWave(const Options& options) {
    DeviceRunSummary summary;
    std::string error;
    if (!runDeviceOnWave(options.device, options.inputPath, options.outputPath, summary, error)) return fail(error);
    if (summary.clipped > 0)
        std::fprintf(stderr, "devicesim: warning: %llu samples clipped at full scale\n",
                     static_cast<unsigned long long>(summary.clipped));
    std::printf("devicesim: %s: %llu samples at %u Hz through %s\n", options.outputPath.c_str(),
                static_cast<unsigned long long>(summary.samplesOut), summary.sampleRate,
                describeDevice(options.device).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "devicesim: %s\nTry 'devicesim --help'.\n", error.c_str());
        return 2;
    }
    switch (options.mode) {
    case Mode::Help: std::fputs(kUsage, stdout); return 0;
    case Mode::Response:
        return printResponse(options.device, options.frequencies, options.sampleRate.value_or(kDefaultResponseRate));
    case Mode::ResponseForReport: return printResponseForReport(options.device, options.reportPath);
    case Mode::Process: break;
    }
    return processWave(options);
}
