#pragma once

#include <optional>

#include "impedance/driver_model.h"
#include "impedance/impedance_point.h"

namespace auralyn::impedance {

// A model to start the fit from, read off the curve: Re the least
// resistance, fs where the phase falls through zero from inductive to
// capacitive (the motional resonance), Res the peak's height above Re, Qms
// from the peak's width at Re sqrt(Rmax/Re), Le from the highest tone's
// reactance. Empty when the curve holds no such resonance.
std::optional<DriverModel> startingModel(const ImpedanceCurve& curve, std::optional<double> re);

}  // namespace auralyn::impedance
