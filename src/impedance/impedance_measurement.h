#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "impedance/impedance_point.h"
#include "impedance/wiring.h"

namespace auralyn::impedance {

// Recordings of the same sweep through the same fixture that compensate it.
struct Compensation {
    // The leads shorted where the driver goes: their impedance is subtracted.
    const std::vector<RatioTone>* shortCircuit = nullptr;
    // A precision resistor in the driver's place (behind the leads): what it
    // shows against its known value is the channels' gain and phase mismatch
    // at each tone. With the short the leads are known and resistorOhms is
    // the resistor's own value; without, its value plus the leads'.
    const std::vector<RatioTone>* resistor = nullptr;
    double resistorOhms = 0.0;
};

enum class WiringProblem {
    None,
    NoTones,            // no tone gave an impedance
    ChannelsSwapped,    // series wiring: the driver's voltage exceeds the drive's
    PolarityReversed,   // the load's resistance comes out negative: a channel's leads are crossed
    SweepsDiffer,       // a compensation recording holds other tones
};

struct ImpedanceMeasurement {
    ImpedanceCurve curve;            // the tones that gave an impedance, ascending in frequency
    std::size_t tonesLeftOut = 0;    // tones measured badly or beyond what the wiring can give
    WiringProblem problem = WiringProblem::None;
    bool ok() const { return problem == WiringProblem::None; }
};

// The impedance at each tone from the ratio of the two channels, with the
// fixture compensated: first the channels' mismatch taken out of the ratio,
// then Z from the wiring (wiring.h), then the leads' impedance subtracted.
// Intervals follow every step to first order (the GUM); the compensation
// recordings' own errors are independent and add.
ImpedanceMeasurement measureImpedance(const std::vector<RatioTone>& tones, const Fixture& fixture,
                                      const Compensation& compensation = {});

// A sentence for the user saying what the problem is and what to do.
std::string describe(WiringProblem problem);

}  // namespace auralyn::impedance
