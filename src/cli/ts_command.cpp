// auralyn ts: a loudspeaker driver's small-signal parameters fitted to its
// impedance curve, with their 95 % intervals, a verdict on the fit and the
// three-point method as a cross-check.
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/impedance_files.h"
#include "impedance/driver_parameters.h"
#include "impedance/impedance_table.h"

namespace auralyn::cli {
namespace {

using impedance::Estimate;

struct TsRequest {
    std::string curvePath;
    std::optional<double> sdCm2, diameterCm, addedMassGrams, boxLitres, re;
    std::string loadedPath, boxedPath, jsonPath, plotPath;
};

void addOptions(CLI::App* c, TsRequest& r) {
    c->add_option("CURVE", r.curvePath, "the free-air impedance: ZMA, or the CSV or JSON of auralyn impedance")
        ->required()
        ->type_name("Z.zma|Z.csv|Z.json");
    auto* sd = c->add_option("--sd", r.sdCm2, "the cone's effective area in cm^2")->type_name("CM2");
    c->add_option("--diameter", r.diameterCm, "the cone's effective diameter in cm (Sd = pi d^2 / 4)")
        ->type_name("CM")
        ->excludes(sd);
    auto* mass = c->add_option("--added-mass", r.addedMassGrams, "the mass added for --loaded, in grams")->type_name("G");
    auto* loaded = c->add_option("--loaded", r.loadedPath, "the impedance with the mass on the cone")->type_name("Z2");
    auto* box = c->add_option("--box-litres", r.boxLitres, "the closed box's volume for --boxed, in litres")->type_name("L");
    auto* boxed = c->add_option("--boxed", r.boxedPath, "the impedance in the closed box")->type_name("Z2");
    mass->needs(loaded);
    loaded->needs(mass);
    box->needs(boxed);
    boxed->needs(box);
    mass->excludes(box);
    c->add_option("--re", r.re, "the voice coil's DC resistance, measured apart: held in the fit")->type_name("OHMS");
    c->add_option("--json", r.jsonPath, "write {\"fit\", \"parameters\", \"classic\", \"model\"}")->type_name("FILE");
    c->add_option("--plot", r.plotPath, "write the curves with the fitted models drawn over them (SVG)")
        ->type_name("FILE.svg");
}

std::string requestProblem(const TsRequest& r) {
    for (const auto& [name, value] : {std::pair{"--sd", r.sdCm2}, std::pair{"--diameter", r.diameterCm},
                                      std::pair{"--added-mass", r.addedMassGrams}, std::pair{"--box-litres", r.boxLitres},
                                      std::pair{"--re", r.re}})
        if (value && !(*value > 0.0 && std::isfinite(*value))) return std::string(name) + " must be above 0";
    return {};
}

std::optional<double> sdSquareMetres(const TsRequest& r) {
    if (r.sdCm2) return *r.sdCm2 * 1e-4;
    if (r.diameterCm) return 3.14159265358979323846 * std::pow(*r.diameterCm * 1e-2, 2) / 4.0;
    return std::nullopt;
}

std::string shown(const Estimate& e, double scale, const char* unit) {
    char text[96];
    std::snprintf(text, sizeof text, "%.4g +- %.2g%s", e.value * scale, e.u95 * scale, unit);
    return text;
}

void printLine(const char* name, const Estimate& e, double scale = 1.0, const char* unit = "") {
    std::printf("  %-6s %s\n", name, shown(e, scale, unit).c_str());
}

void printParameters(const impedance::DriverParameters& p) {
    const impedance::DriverFit& f = p.fit;
    char misfit[96];
    if (f.weighted)
        std::snprintf(misfit, sizeof misfit, "chi-square per degree of freedom %.3g", f.chiSquarePerDof);
    else  // without intervals the residual is weighed against 1 %
        std::snprintf(misfit, sizeof misfit, "RMS residual %.3g %%, the curve has no intervals",
                      std::sqrt(f.chiSquarePerDof));
    std::printf("Fit: %s (%s, coil model %s)%s%s\n", impedance::verdictName(f.verdict), misfit,
                f.model.lossyCoil() ? "L2R2" : "Le", f.reason.empty() ? "" : ": ", f.reason.c_str());
    if (p.failed()) return;
    std::printf("Parameters (95 %% intervals from the fit's covariance):\n");
    printLine("Re", f.re, 1.0, " ohm");
    printLine("fs", f.fs, 1.0, " Hz");
    printLine("Qms", f.qms);
    printLine("Qes", f.qes);
    printLine("Qts", f.qts);
    printLine("Le", f.leAt1k, 1e3, " mH at 1 kHz");
    if (const auto& m = p.mechanical) {
        printLine("Vas", m->vasLitres, 1.0, " l");
        printLine("Mms", m->mmsGrams, 1.0, " g");
        printLine("Cms", m->cmsMmPerNewton, 1.0, " mm/N");
        printLine("Bl", m->blTeslaMetres, 1.0, " T m");
        printLine("Rms", m->rmsKgPerSecond, 1.0, " kg/s");
        printLine("eta0", m->eta0Percent, 1.0, " %");
        printLine("SPL", m->spl1w1mDb, 1.0, " dB (1 W, 1 m)");
    }
    if (p.classic.found)
        std::printf("Three-point method: fs %s, Qms %s, Qes %s, Qts %s\n", shown(p.classic.fs, 1.0, " Hz").c_str(),
                    shown(p.classic.qms, 1.0, "").c_str(), shown(p.classic.qes, 1.0, "").c_str(),
                    shown(p.classic.qts, 1.0, "").c_str());
    else
        std::printf("Three-point method: %s\n", p.classic.reason.c_str());
}

// The model drawn over a measurement: 400 frequencies across its range.
impedance::ImpedanceCurve modelCurve(const impedance::DriverModel& model, const impedance::ImpedanceCurve& measured) {
    impedance::ImpedanceCurve curve;
    const double low = measured.front().frequency, high = measured.back().frequency;
    for (int i = 0; i < 400; ++i) {
        const double f = low * std::pow(high / low, i / 399.0);
        curve.push_back({f, impedance::driverImpedance(model, f), 0.0, 0.0, std::nullopt, std::nullopt});
    }
    return curve;
}

bool writePlot(const TsRequest& r, const impedance::DriverRequest& request, const impedance::DriverParameters& p) {
    std::vector<impedance::ImpedanceCurve> models;
    models.reserve(2);
    std::vector<ImpedanceTraceInput> traces = {{"free air: " + r.curvePath, &request.freeAir, false}};
    if (request.loaded) traces.push_back({(r.loadedPath.empty() ? r.boxedPath : r.loadedPath), &request.loaded->curve, false});
    if (!p.failed()) {
        models.push_back(modelCurve(p.fit.model, request.freeAir));
        traces.push_back({"fitted model, free air", &models.back(), true});
    }
    if (p.loadedFit && p.loadedFit->verdict != impedance::FitVerdict::Failed) {
        models.push_back(modelCurve(p.loadedFit->model, request.loaded->curve));
        traces.push_back({"fitted model, loaded", &models.back(), true});
    }
    char note[160];
    std::snprintf(note, sizeof note, "fit %s, chi-square per degree of freedom %.3g", impedance::verdictName(p.fit.verdict),
                  p.fit.chiSquarePerDof);
    return writeWholeFile(r.plotPath, impedancePlotSvg("Driver impedance and fitted model", note, traces));
}

int runTs(const TsRequest& r) {
    if (const std::string problem = requestProblem(r); !problem.empty()) {
        printDiagnostic(problem);
        return kExitUsage;
    }
    if (!pathsAreDistinct({r.jsonPath, r.plotPath}, {r.curvePath, r.loadedPath, r.boxedPath})) return kExitUsage;
    impedance::DriverRequest request;
    request.re = r.re;
    request.sdSquareMetres = sdSquareMetres(r);
    if (!readImpedanceCurveFile(r.curvePath, request.freeAir)) return kExitFailure;
    if (!r.loadedPath.empty() || !r.boxedPath.empty()) {
        impedance::LoadedRun run;
        const bool mass = !r.loadedPath.empty();
        run.load = mass ? impedance::LoadedRun::Load::AddedMass : impedance::LoadedRun::Load::Box;
        run.amount = mass ? *r.addedMassGrams * 1e-3 : *r.boxLitres * 1e-3;
        if (!readImpedanceCurveFile(mass ? r.loadedPath : r.boxedPath, run.curve)) return kExitFailure;
        request.loaded = std::move(run);
    }
    const impedance::DriverParameters p = impedance::analyzeDriver(request);
    printParameters(p);
    bool written = true;
    if (!r.jsonPath.empty()) written = writeWholeFile(r.jsonPath, impedance::driverJson(p).dump(2) + "\n");
    if (!r.plotPath.empty()) written = writePlot(r, request, p) && written;
    if (p.failed()) {
        printDiagnostic(r.curvePath + ": the fit failed: " + p.fit.reason);
        return kExitFailure;
    }
    if (!p.mechanicalProblem.empty()) {
        printDiagnostic(p.mechanicalProblem);
        return kExitFailure;
    }
    return written ? kExitSuccess : kExitFailure;
}

}  // namespace

void addTsCommand(CLI::App& app, int& exitCode) {
    addRequestCommand<TsRequest>(
        app, exitCode, "ts",
        "Fit a loudspeaker driver's small-signal parameters to its impedance curve (Re, fs, Qms, Qes, Qts, Le; with "
        "Sd and an added mass or a known box also Vas, Mms, Cms, Bl, Rms, efficiency and sensitivity), each with its "
        "95 % interval, a verdict on the fit, and the three-point method as a cross-check. Exit status 1 when the "
        "fit fails.",
        addOptions, runTs);
}

}  // namespace auralyn::cli
