#pragma once

#include <optional>
#include <string>

#include "impedance/driver_model.h"
#include "impedance/estimate.h"
#include "impedance/impedance_point.h"

namespace auralyn::impedance {

struct ThreePointResult {
    bool found = false;
    std::string reason;              // why not, when not found
    Estimate rmax, f1, f2;           // ohms, Hz, Hz
    Estimate fs, qms, qes, qts;
};

// The classic three-point method (Thiele, Small): the peak Rmax of |Z| at
// fs, the frequencies f1 < fs < f2 where |Z| = Re sqrt(Rmax/Re), then
// fs = sqrt(f1 f2), Qms = fs sqrt(r0) / (f2 - f1) with r0 = Rmax/Re,
// Qes = Qms / (r0 - 1). It ignores the coil's inductance, which tilts |Z|
// above fs; where a fitted coil is given, its reactance (everything of the
// coil but Re) is taken out of each tone first. Peaks and crossings are
// interpolated between tones (a parabola in log frequency at the peak, straight
// lines at the crossings). Intervals come from resampling: 400 draws of every
// tone's |Z| and of Re within their intervals, widened by the error that
// reading between these tones makes on the fitted model's own curve.
ThreePointResult threePoint(const ImpedanceCurve& curve, const Estimate& re, const DriverModel* fittedCoil = nullptr);

// Whether the fit and the three-point method disagree beyond their intervals
// allow; the sentence names the parameters that disagree.
std::optional<std::string> disagreement(const ThreePointResult& classic, const Estimate& fs, const Estimate& qms,
                                        const Estimate& qes);

}  // namespace auralyn::impedance
