// auralyn plot: draws measurements (reports or CSV files) into one Bode plot.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/calibration_request.h"

#include "cli/commands.h"
#include "plot/plausible_values.h"
#include "cli/plot_impedance.h"
#include "cli/plot_processing.h"
#include "cli/shared_options.h"
#include "plot/plot_job.h"
#ifdef AURALYN_HAVE_CALIBRATION
#include "calibration/tone_conversion.h"
#include "cli/calibration_setup.h"
#endif

namespace auralyn::cli {
namespace {

struct PlotCommand {
    plot::PlotRequest request;
    CalibrationRequest calibration;
    PlotProcessing processing;
    std::string targetOffset = "auto";
};

#ifdef AURALYN_HAVE_CALIBRATION

// The measurement's magnitudes in physical units: dB SPL with an acoustic
// input calibration, dBV with a volts one, else only the cal file taken out.
bool addUnits(const CalibrationRequest& c, plot::PlotRequest& request) {
    if (!c.any()) return true;
    const auto loaded = loadCalibration(c, {});
    if (!loaded) return false;
    const bool spl = loaded->chain.input && loaded->chain.input->dbfsAt94DbSpl;
    const bool volts = loaded->chain.input && loaded->chain.input->dbfsAt1Vrms;
    request.unit = spl ? magnitudeUnit(*loaded) : volts ? "dBV" : "dB re full scale";
    if (!c.micCalPath.empty()) request.unitSource = "cal file " + c.micCalPath + (c.invertMicCal ? " (inverted)" : "");
    if (!c.profilePath.empty()) request.unitSource += (request.unitSource.empty() ? "" : ", ") + ("profile " + c.profilePath);
    auto chain = std::make_shared<const calibration::CalibrationChain>(loaded->chain);
    request.toUnit = [chain, spl, volts](double frequency, double magnitudeDb) -> std::optional<double> {
        const calibration::CalibratedTone tone = calibration::calibrateTone(*chain, {frequency, magnitudeDb, 0.0, std::nullopt});
        if (spl) return tone.splDb;
        if (volts) return tone.dbv;
        if (tone.calibrated == false) return std::nullopt;
        return magnitudeDb - tone.micCalDb.value_or(0.0);
    };
    return true;
}

#endif

// Impedance curves are drawn as impedance, on their own: none of the
// response's options applies to them. Empty when the inputs are responses;
// else what is wrong with the command line, or "impedance".
std::string impedanceChoice(const PlotCommand& command) {
    const plot::PlotRequest& r = command.request;
    std::size_t curves = 0;
    std::string first;
    for (const std::string& path : r.measurements) {
        if (!isImpedanceCurve(path)) continue;
        if (curves++ == 0) first = path;
    }
    if (curves == 0) return {};
    if (curves < r.measurements.size())
        return first + " is an impedance curve: impedance curves and frequency responses cannot share a plot";
    const PlotProcessing& p = command.processing;
    const bool responseOptions = r.frd || r.normalizeHz || r.distortion || r.uncertainty || !r.targets.empty() ||
                                 !p.smooth.empty() || !p.delay.empty() || p.groupDelay || p.minPhase ||
                                 command.calibration.any();
    if (responseOptions)
        return "impedance curves (" + first + ") are drawn as they are: the options for frequency responses do not apply";
    return "impedance";
}

int runPlotCommand(PlotCommand& command) {
    plot::PlotRequest& request = command.request;
    std::string usage = impedanceChoice(command);
    if (usage == "impedance") return plotImpedanceCurves(request.measurements, request.output);
    if (command.targetOffset != "auto") {
        char* end = nullptr;
        request.targetOffsetDb = std::strtod(command.targetOffset.c_str(), &end);
        if (end == command.targetOffset.c_str() || *end != '\0' || !std::isfinite(*request.targetOffsetDb))
            usage = "--target-offset: expected auto or a number of dB, not '" + command.targetOffset + "'";
    }
    if (usage.empty()) attachResponseProcessing(command.processing, request, usage);
    if (!usage.empty()) {
        std::fprintf(stderr, "auralyn: plot: %s\nTry 'auralyn plot --help'.\n", usage.c_str());
        return kExitUsage;
    }
#ifdef AURALYN_HAVE_CALIBRATION
    if (!addUnits(command.calibration, request)) return kExitFailure;
#endif
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
    auto state = std::make_shared<PlotCommand>();
    plot::PlotRequest* request = &state->request;
    PlotProcessing* processing = &state->processing;
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
    addProcessingOptions(
        command, processing->smooth, processing->smoothMode, processing->delay,
        {"Fractional-octave smoothing of every curve, N from 1 to 96",
         "power (default), complex, db, or variable (1/48 octave below 100 Hz to 1/3 above 10 kHz)",
         "auto: find each curve's time of flight and take it out of its phase (printed); reference: "
         "take out the delay of the time reference the file names; or SECONDS"});
    command->add_flag("--group-delay", processing->groupDelay, "Add a panel of group delay (ms)");
    command->add_flag("--min-phase", processing->minPhase,
                      "Draw the minimum phase the magnitude implies, dashed in the phase panel");
    command->add_option("--target", request->targets,
                        "A target curve (FRD or two columns: frequency, dB), dashed in the magnitude panel")
        ->type_name("FILE");
    command->add_option("--target-offset", state->targetOffset,
                        "auto: shift the target to fit the first measurement (least squares); or DB")
        ->type_name("auto|DB");
#ifdef AURALYN_HAVE_CALIBRATION
    addCalibrationOptions(command, state->calibration);
#endif
    command->callback([state, &exitCode] { exitCode = runPlotCommand(*state); });
}

}  // namespace auralyn::cli
