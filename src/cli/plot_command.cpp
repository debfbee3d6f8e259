// auralyn plot: draws measurements (reports or CSV files) into one Bode plot.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "plot/plausible_values.h"
#include "plot/plot_job.h"

namespace auralyn::cli {
namespace {

int runPlotCommand(const plot::PlotRequest& request) {
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

// A frequency a plot's axis can hold; CLI11's own range check would print the
// largest double in full.
CLI::Validator normalizeFrequency() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double hz = 0.0;
            if (!CLI::detail::lexical_cast(text, hz) || !(hz > 0.0 && hz <= plot::kHighestFrequencyHz))
                return "must be a frequency above 0 Hz and at most 10 MHz, not " + text;
            return {};
        },
        "");
}

}  // namespace

void addPlotCommand(CLI::App& app, int& exitCode) {
    auto request = std::make_shared<plot::PlotRequest>();
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
        ->check(normalizeFrequency());
    command->add_flag("--distortion", request->distortion,
                      "Add a panel of THD, H2 and H3 (dBc) and the noise floor (dBFS) against frequency; needs the "
                      "CSV file of auralyn analyze --csv");
    command->add_flag("--uncertainty", request->uncertainty,
                      "Shade each tone's 95 % interval around the magnitude and the phase; needs the CSV file of "
                      "auralyn analyze --csv");
    command->footer("Magnitude is 20*log10(amplitude/32767), the gain against the full-scale test tone; phase is\n"
                    "the measurement's, unwrapped along the sweep. Tones with an amplitude of 0 are left out.");
    command->callback([request, &exitCode] { exitCode = runPlotCommand(*request); });
}

}  // namespace auralyn::cli
