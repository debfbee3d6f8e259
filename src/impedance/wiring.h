#pragma once

#include <complex>
#include <optional>
#include <string>
#include <vector>

#include "impedance/impedance_point.h"
#include "impedance/log_uncertainty.h"

namespace auralyn::impedance {

// One tone of a two-channel measurement: the driver channel's phasor over the
// other channel's, measured in the same blocks, with the 95 % half-widths of
// its level and phase.
struct RatioTone {
    double frequency = 0.0;          // Hz
    std::complex<double> ratio;      // driver channel / other channel
    double magnitudeU95Db = 0.0;
    double phaseU95Deg = 0.0;
    bool measured = true;            // false: either channel could not be fitted
    std::optional<double> driveDbfs; // the other channel's level
};

enum class Wiring {
    Series,          // the drive (output side of Rs) and the driver's voltage: Z = Rs H / (1 - H)
    AcrossResistor,  // the voltage across Rs and the driver's: Z = Rs H
};

struct Fixture {
    Wiring wiring = Wiring::Series;
    double senseOhms = 0.0;
    double senseTolerancePercent = 0.0;       // a bound: uniform within it
    std::optional<double> inputImpedanceOhms; // the recording inputs' resistance
};

// The ratio as a quantity with the covariance of its logarithm's errors: the
// 95 % half-widths become standard deviations of ln|H| and arg H.
LogUncertain ratioWithErrors(const RatioTone& tone);

// The impedance the fixture shows for a ratio, before any fixture
// compensation: Z = Rs H / (1 - H) in series, Rs H across the resistor, and
// the recording input across the driver (and, across the resistor, across Rs)
// taken out of the parallel combination it forms. Empty where the ratio
// cannot come from a passive load (|H| >= 1 in series, or a load through the
// input's resistance beyond what it can show).
std::optional<LogUncertain> impedanceFromRatio(const LogUncertain& ratio, const Fixture& fixture);

// The ratio that a load of `ohms` gives in this fixture: the inverse of
// impedanceFromRatio, for the reference resistor's calibration.
std::complex<double> ratioForLoad(std::complex<double> ohms, const Fixture& fixture);

// A point with 95 % half-widths from the log-error covariance, Rs's
// tolerance (uniform, standard uncertainty tolerance / sqrt 3) added to the
// magnitude's: Z is proportional to Rs.
ImpedancePoint pointOf(double frequency, const LogUncertain& z, const Fixture& fixture,
                       std::optional<double> driveDbfs);

}  // namespace auralyn::impedance
