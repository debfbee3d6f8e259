// auralyn plot: draws measurements (reports or CSV files) into one Bode plot.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/plot_processing.h"
#include "plot/plot_job.h"

namespace auralyn::cli {
namespace {

struct PlotOptions {
    plot::PlotRequest request;
    PlotProcessing processing;
    std::string targetOffset = "auto";
};

int runPlotCommand(PlotOptions& options) {
    plot::PlotRequest& request = options.request;
    std::string usage;
    if (options.targetOffset != "auto") {
        char* end = nullptr;
        request.targetOffsetDb = std::strtod(options.targetOffset.c_str(), &end);
        if (end == options.targetOffset.c_str() || *end != '\0' || !std::isfinite(*request.targetOffsetDb))
            usage = "--target-offset: expected auto or a number of dB, not '" + options.targetOffset + "'";
    }
    if (usage.empty()) attachResponseProcessing(options.processing, request, usage);
    if (!usage.empty()) {
        std::fprintf(stderr, "auralyn: plot: %s\nTry 'auralyn plot --help'.\n", usage.c_str());
        return kExitUsage;
    }
    plot::PlotResult result;
    std::string error;
    if (!plot::runPlot(request, result, error)) {
        std::fprintf(stderr, "auralyn: %s\n", error.c_str());
        return kExitFailure;
    }
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "auralyn: warning: %s\n", warning.c_str());
    std::printf("Plot: %s\n", result.plotPath.c_str());
    for (const std::string& frd : result.frdPaths) std::printf("FRD:  %s\n", frd.c_str());
    for (const std::string& summary : result.summaries) std::printf("  %s\n", summary.c_str());
    return kExitSuccess;
}

}  // namespace

void addPlotCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<PlotOptions>();
    plot::PlotRequest* request = &options->request;
    PlotProcessing* processing = &options->processing;
    CLI::App* command = app.add_subcommand(
        "plot", "Draw measurements (echoprobe reports or CSV files of auralyn analyze) as one Bode plot (SVG)");
    command->add_option("MEASUREMENT", request->measurements,
                        "Reports or CSV files; each is one curve, named in the legend by its file name")
        ->required();
    command->add_option("-o,--output", request->output, "The SVG file (default: the first measurement's name with .svg)")
        ->type_name("OUT.svg");
    command->add_flag("--frd", request->frd,
                      "Also write each measurement's FRD file next to it (its name with .frd; never normalized)");
    command->add_option("--normalize", request->normalizeHz,
                        "Shift every curve to 0 dB at HZ (interpolated between tones; default: no shift)")
        ->type_name("HZ")
        ->check(CLI::PositiveNumber);
    command->add_flag("--distortion", request->distortion,
                      "Add a panel of THD, H2 and H3 (dBc) and the noise floor (dBFS) against frequency; needs the "
                      "CSV file of auralyn analyze --csv");
    command->add_flag("--uncertainty", request->uncertainty,
                      "Shade each tone's 95 % interval around the magnitude and the phase; needs the CSV file of "
                      "auralyn analyze --csv");
    command->footer("Magnitude is 20*log10(amplitude/32767), the gain against the full-scale test tone; phase is\n"
                    "the measurement's, unwrapped along the sweep. Tones with an amplitude of 0 are left out.");
    command->add_option("--smooth", processing->smooth, "Fractional-octave smoothing of every curve, N from 1 to 96")
        ->type_name("1/N");
    command->add_option("--smooth-mode", processing->smoothMode,
                        "power (default), complex, db, or variable (1/48 octave below 100 Hz to 1/3 above 10 kHz)")
        ->check(CLI::IsMember({"power", "complex", "db", "variable"}))
        ->type_name("power|complex|db|variable");
    command->add_option("--delay", processing->delay,
                        "auto: find each curve's time of flight and take it out of its phase (printed); or SECONDS")
        ->type_name("auto|SECONDS");
    command->add_flag("--group-delay", processing->groupDelay, "Add a panel of group delay (ms)");
    command->add_flag("--min-phase", processing->minPhase,
                      "Draw the minimum phase the magnitude implies, dashed in the phase panel");
    command->add_option("--target", request->targets,
                        "A target curve (FRD or two columns: frequency, dB), dashed in the magnitude panel")
        ->type_name("FILE");
    command->add_option("--target-offset", options->targetOffset,
                        "auto: shift the target to fit the first measurement (least squares); or DB")
        ->type_name("auto|DB");
    command->callback([options, &exitCode] { exitCode = runPlotCommand(*options); });
}

}  // namespace auralyn::cli
