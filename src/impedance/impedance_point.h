#pragma once

#include <complex>
#include <optional>
#include <vector>

namespace auralyn::impedance {

// One tone's impedance with the 95 % half-widths of its magnitude and phase.
struct ImpedancePoint {
    double frequency = 0.0;          // Hz
    std::complex<double> ohms;       // complex impedance
    double magnitudeU95 = 0.0;       // ohms
    double phaseU95Deg = 0.0;        // degrees
    std::optional<double> driveDbfs; // the drive's level where it was recorded
    std::optional<double> driveVolts; // the same in volts RMS, where the drive channel is calibrated
};

using ImpedanceCurve = std::vector<ImpedancePoint>;

double magnitudeOf(const ImpedancePoint& point);
double phaseDegOf(const ImpedancePoint& point);

}  // namespace auralyn::impedance
