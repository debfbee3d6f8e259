#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "impedance/driver_fit.h"
#include "impedance/impedance_point.h"
#include "impedance/mechanical_parameters.h"
#include "impedance/three_point.h"

namespace auralyn::impedance {

// The second measurement that gives the mechanical parameters: the driver
// with a known mass on its cone, or in a closed box of known volume.
struct LoadedRun {
    enum class Load { AddedMass, Box } load = Load::AddedMass;
    ImpedanceCurve curve;
    double amount = 0.0;  // kilograms or cubic metres
};

struct DriverRequest {
    ImpedanceCurve freeAir;
    std::optional<double> re;             // ohms, measured apart
    std::optional<double> sdSquareMetres;
    std::optional<LoadedRun> loaded;
};

struct DriverParameters {
    DriverFit fit;
    ThreePointResult classic;
    std::optional<std::string> disagreement;  // the classic method contradicts the fit
    std::optional<DriverFit> loadedFit;
    std::optional<MechanicalParameters> mechanical;
    std::string mechanicalProblem;            // why there are none though asked for

    bool failed() const { return fit.verdict == FitVerdict::Failed; }
};

// Fits the free-air curve, cross-checks it with the three-point method
// (which, where they disagree beyond their intervals, makes a good fit poor)
// and, with Sd and a loaded run, fits that too for the mechanical parameters.
DriverParameters analyzeDriver(const DriverRequest& request);

// {"fit": {"verdict", "reason", "chi2_per_dof", ...}, "parameters": {"re_ohm":
// {"value", "u95"}, ...}, "classic": {...}, "model": {...}}; a failed fit has
// no parameters.
nlohmann::json driverJson(const DriverParameters& result);

}  // namespace auralyn::impedance
