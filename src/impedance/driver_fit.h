#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "impedance/driver_model.h"
#include "impedance/estimate.h"
#include "impedance/impedance_point.h"

namespace auralyn::impedance {

enum class FitVerdict { Good, Poor, Failed };

struct DriverFit {
    FitVerdict verdict = FitVerdict::Failed;
    std::string reason;             // why the fit is poor or failed; empty when good
    DriverModel model;              // the fitted model (lossless coil: l2 = r2 = 0)
    double chiSquarePerDof = 0.0;
    std::size_t degreesOfFreedom = 0;
    bool weighted = true;           // false: the curve had no intervals (a ZMA file)
    // The parameters with their 95 % intervals, from the fit's covariance.
    Estimate re, fs, qms, qes, qts;
    Estimate leAt1k;                // henries: the coil's reactance at 1 kHz over omega
    Estimate le, l2, r2, res;       // the model's own parameters
    // Covariance of (ln Re, ln fs, ln Qms, ln Qes) for the quantities derived
    // from them (mechanical_parameters.h); row-major 4 x 4.
    std::vector<double> coreCovariance;
};

struct FitOptions {
    std::optional<double> re;  // a measured Re (ohms) held fixed in the fit
};

// Fits the driver's model (driver_model.h) to the whole curve by weighted
// least squares on ln|Z| and the phase, each weighted by its tone's interval
// (fitLeastSquares). The lossless coil is fitted first, the L2R2 coil from
// there when the lossless one leaves more than the tones' noise; the lossy
// coil is kept when an F-test says its two parameters explain more than
// noise (F > 10). Intervals come from the fit's covariance,
// scaled up by chi-square per degree of freedom when that exceeds 1 (the
// Birge ratio: a residual beyond the tones' noise widens them, never narrows).
DriverFit fitDriver(const ImpedanceCurve& curve, const FitOptions& options = {});

const char* verdictName(FitVerdict verdict);

}  // namespace auralyn::impedance
