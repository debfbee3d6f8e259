#pragma once

#include <complex>

namespace auralyn::impedance {

// The standard electrical model of a moving-coil driver in free air (Thiele,
// Small): the voice coil's resistance Re and inductance in series with the
// motional impedance, a parallel resonance of Res (mechanical losses), Ces
// (moving mass) and Les (suspension compliance). The inductance is Leach's
// circuit form of a lossy coil, the "L2R2" model: Le in series with L2 shunted
// by R2, which stands for the eddy currents in the pole piece. It is a passive
// circuit at every frequency, fits real coils far better than a lone Le, and
// holds a lone Le as its limit R2 -> 0 (lossless: l2 or r2 of 0), so one
// parameter set serves both. Power-law coil models (Wright's) have no such
// limit and their exponents trade off against Le, which makes their intervals
// meaningless on ordinary sweeps.
struct DriverModel {
    double re = 0.0;    // ohms
    double le = 0.0;    // henries
    double l2 = 0.0;    // henries; 0: lossless coil
    double r2 = 0.0;    // ohms; 0: lossless coil
    double fs = 0.0;    // Hz, the motional resonance
    double qms = 0.0;   // mechanical Q
    double res = 0.0;   // ohms, the motional resistance at resonance: Re Qms / Qes

    bool lossyCoil() const { return l2 > 0.0 && r2 > 0.0; }
    double qes() const { return qms * re / res; }
    double qts() const;
    double ces() const;  // farads
    double les() const;  // henries
};

// The model's parameters from the usual figures; Res = Re Qms / Qes.
DriverModel driverFromQs(double re, double le, double fs, double qms, double qes);

std::complex<double> voiceCoilImpedance(const DriverModel& driver, double frequency);
std::complex<double> motionalImpedance(const DriverModel& driver, double frequency);
std::complex<double> driverImpedance(const DriverModel& driver, double frequency);

// The coil's effective inductance at a frequency: its reactance over omega.
double inductanceAt(const DriverModel& driver, double frequency);

// The driver loaded by an added mass or a closed box, the other parameters
// unchanged: the resonance moves by sqrt(Mms / (Mms + m)) or sqrt(1 + Vas/Vb),
// both Q's by the inverse, Res stays (it is Bl^2 / Rms).
DriverModel withMassRatio(const DriverModel& driver, double massRatio);        // (Mms + m) / Mms
DriverModel withStiffnessRatio(const DriverModel& driver, double stiffnessRatio);  // 1 + Vas / Vb

}  // namespace auralyn::impedance
