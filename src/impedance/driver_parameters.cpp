#include "impedance/driver_parameters.h"

#include <cmath>

namespace auralyn::impedance {
namespace {

void addLoaded(const DriverRequest& request, DriverParameters& out) {
    if (!request.loaded) return;
    if (!request.sdSquareMetres) {
        out.mechanicalProblem = "the mechanical parameters need the cone's area (--sd or --diameter)";
        return;
    }
    out.loadedFit = fitDriver(request.loaded->curve, FitOptions{request.re});
    if (out.loadedFit->verdict == FitVerdict::Failed) {
        out.mechanicalProblem = "the loaded driver's fit failed: " + out.loadedFit->reason;
        return;
    }
    const bool mass = request.loaded->load == LoadedRun::Load::AddedMass;
    const MechanicalParameters p = mass ? fromAddedMass(out.fit, *out.loadedFit, *request.sdSquareMetres, request.loaded->amount)
                                        : fromKnownBox(out.fit, *out.loadedFit, *request.sdSquareMetres, request.loaded->amount);
    if (!p.valid()) {
        out.mechanicalProblem = mass ? "the added mass did not lower the resonance: no mass can be had from it"
                                     : "the box did not raise the resonance: no compliance can be had from it";
        return;
    }
    out.mechanical = p;
}

nlohmann::json estimate(const Estimate& e, double scale = 1.0) {
    return {{"value", e.value * scale}, {"u95", e.u95 * scale}};
}

}  // namespace

DriverParameters analyzeDriver(const DriverRequest& request) {
    DriverParameters out;
    out.fit = fitDriver(request.freeAir, FitOptions{request.re});
    if (out.failed()) return out;
    const Estimate re = request.re ? Estimate{*request.re, 0.0} : out.fit.re;
    out.classic = threePoint(request.freeAir, re, &out.fit.model);
    out.disagreement = disagreement(out.classic, out.fit.fs, out.fit.qms, out.fit.qes);
    if (out.disagreement && out.fit.verdict == FitVerdict::Good) {
        out.fit.verdict = FitVerdict::Poor;
        out.fit.reason = *out.disagreement;
    }
    addLoaded(request, out);
    return out;
}

nlohmann::json driverJson(const DriverParameters& r) {
    const DriverFit& f = r.fit;
    nlohmann::json doc;
    doc["fit"] = {{"verdict", verdictName(f.verdict)},
                  {"reason", f.reason},
                  {"chi2_per_dof", std::isfinite(f.chiSquarePerDof) ? nlohmann::json(f.chiSquarePerDof) : nlohmann::json(nullptr)},
                  {"degrees_of_freedom", f.degreesOfFreedom},
                  {"weighted", f.weighted},
                  {"intervals", "from the fit's covariance"},
                  {"coil_model", f.model.lossyCoil() ? "L2R2" : "Le"}};
    if (r.failed()) return doc;
    nlohmann::json p = {{"re_ohm", estimate(f.re)}, {"fs_hz", estimate(f.fs)},   {"qms", estimate(f.qms)},
                        {"qes", estimate(f.qes)},   {"qts", estimate(f.qts)},     {"le_mh", estimate(f.leAt1k, 1e3)}};
    if (r.mechanical) {
        const MechanicalParameters& m = *r.mechanical;
        p["vas_l"] = estimate(m.vasLitres);
        p["mms_g"] = estimate(m.mmsGrams);
        p["cms_mm_per_n"] = estimate(m.cmsMmPerNewton);
        p["bl_tm"] = estimate(m.blTeslaMetres);
        p["rms_kg_per_s"] = estimate(m.rmsKgPerSecond);
        p["eta0_percent"] = estimate(m.eta0Percent);
        p["spl_1w1m_db"] = estimate(m.spl1w1mDb);
    }
    doc["parameters"] = p;
    doc["model"] = {{"re_ohm", f.re.value},        {"le_mh", f.le.value * 1e3}, {"l2_mh", f.l2.value * 1e3},
                    {"r2_ohm", f.r2.value},        {"res_ohm", f.res.value},    {"ces_uf", f.model.ces() * 1e6},
                    {"les_mh", f.model.les() * 1e3}, {"fs_hz", f.fs.value},     {"qms", f.qms.value}};
    if (r.classic.found) {
        doc["classic"] = {{"fs_hz", estimate(r.classic.fs)}, {"qms", estimate(r.classic.qms)},
                          {"qes", estimate(r.classic.qes)},  {"qts", estimate(r.classic.qts)},
                          {"rmax_ohm", estimate(r.classic.rmax)}, {"f1_hz", estimate(r.classic.f1)},
                          {"f2_hz", estimate(r.classic.f2)}};
    } else {
        doc["classic"] = {{"reason", r.classic.reason}};
    }
    if (!r.mechanicalProblem.empty()) doc["mechanical_problem"] = r.mechanicalProblem;
    if (r.loadedFit) doc["loaded_fit"] = {{"verdict", verdictName(r.loadedFit->verdict)}, {"reason", r.loadedFit->reason},
                                          {"fs_hz", estimate(r.loadedFit->fs)}, {"qes", estimate(r.loadedFit->qes)}};
    return doc;
}

}  // namespace auralyn::impedance
