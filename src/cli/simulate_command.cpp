// auralyn simulate: plays a WAV file through a simulated device under test.
// The simulator's own option parser reads everything after "simulate", so the
// device is described exactly as before: parts applied in the order given.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"

#ifdef AURALYN_HAVE_SIMULATE
#include "simulation/device_options.h"
#include "simulation/response_table.h"
#include "simulation/wave_through_device.h"
#include "plot/report_reader.h"
#endif

namespace auralyn::cli {
namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "auralyn: %s\n", message.c_str());
    return kExitFailure;
}

#ifdef AURALYN_HAVE_SIMULATE
using namespace auralyn::simulation;

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
    return kExitSuccess;
}

int printResponseForReport(const Device& device, const std::string& reportPath) {
    plot::Report report;
    std::string error;
    if (!plot::readReportFile(reportPath, report, error)) return fail(error);
    std::vector<double> frequencies;
    for (const plot::ReportTone& tone : report.tones) frequencies.push_back(tone.frequency);
    return printResponse(device, frequencies, report.sampleRate);
}

int processWave(const Options& options) {
    DeviceRunSummary summary;
    std::string error;
    if (!runDeviceOnWave(options.device, options.inputPath, options.outputPath, summary, error)) return fail(error);
    if (summary.clipped > 0)
        std::fprintf(stderr, "auralyn: warning: %llu samples clipped at full scale\n",
                     static_cast<unsigned long long>(summary.clipped));
    std::printf("auralyn: %s: %llu samples at %u Hz through %s\n", options.outputPath.c_str(),
                static_cast<unsigned long long>(summary.samplesOut), summary.sampleRate,
                describeDevice(options.device).c_str());
    return kExitSuccess;
}

int runSimulate(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!parseOptions(args, options, error)) {
        std::fprintf(stderr, "auralyn: %s\nTry 'auralyn simulate --help'.\n", error.c_str());
        return kExitUsage;
    }
    switch (options.mode) {
    case Mode::Help: std::fputs(kUsage, stdout); return kExitSuccess;
    case Mode::Response:
        return printResponse(options.device, options.frequencies, options.sampleRate.value_or(kDefaultResponseRate));
    case Mode::ResponseForReport: return printResponseForReport(options.device, options.reportPath);
    case Mode::Process: break;
    }
    return processWave(options);
}
#else
int runSimulate(const std::vector<std::string>&) {
    return fail("simulate is not available in this build (it needs libsoxr)");
}
#endif

}  // namespace

void addSimulateCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand("simulate", "Play a WAV file through a simulated device (filters, gain, "
                                                       "delay, noise, clock error)");
    // Every argument, --help included, goes to the simulator's own parser.
    command->prefix_command();
    command->set_help_flag();
#ifdef AURALYN_HAVE_SIMULATE
    command->footer(simulation::kUsage);
#endif
    command->callback([command, &exitCode] { exitCode = runSimulate(command->remaining()); });
}

}  // namespace auralyn::cli
