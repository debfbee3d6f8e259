#pragma once

#include <complex>
#include <optional>
#include <string>

namespace auralyn::simulation {

// A loudspeaker driver as the simulator plays it: the usual small-signal
// figures, and optionally an eddy-current loss of the coil (L2 shunted by R2).
struct DriverSpec {
    double re = 0.0;   // ohms: the voice coil's DC resistance
    double le = 0.0;   // henries: the voice coil's inductance
    double fs = 0.0;   // Hz: the resonance in free air
    double qms = 0.0;  // Q at fs from the suspension's losses alone
    double qes = 0.0;  // Q at fs from the electrical damping alone
    double l2 = 0.0;   // henries; 0: none
    double r2 = 0.0;   // ohms
};

// The driver measured through a sense resistor in series: the recording's
// first channel is the driver's voltage, the second the drive. An added mass
// or a closed box loads the driver (both need Sd and Vas, which fix Mms and Cms).
struct DriverWiring {
    DriverSpec driver;
    double senseOhms = 0.0;
    std::optional<double> sdSquareCm;
    std::optional<double> vasLitres;
    std::optional<double> addedMassGrams;
    std::optional<double> boxLitres;
};

// Reads "Re=6.2 Le=0.45mH fs=38 Qms=3.1 Qes=0.42 [L2=0.3mH R2=4]": names
// in any case and order, inductances in H, mH or uH (a bare number is mH).
// False, with a message, for a missing, repeated or unknown name or a value
// out of range.
bool parseDriverSpec(const std::string& text, DriverSpec& driver, std::string& error);

// Empty when the wiring can be simulated; otherwise what is missing.
std::string checkWiring(const DriverWiring& wiring);

// The driver as loaded by the added mass or the box: Mms = 1 / ((2 pi fs)^2 Cms)
// with Cms = Vas / (rho c^2 Sd^2); a mass m lowers fs by sqrt(Mms / (Mms + m)),
// a box of Vb raises it by sqrt(1 + Vas / Vb), the Q's move inversely to the
// resonance's share of the change (both are omega M / R and omega M Re / Bl^2).
DriverSpec loadedDriver(const DriverWiring& wiring);

// The driver's impedance, computed from its circuit: Re + j omega Le (+ R2 || j omega L2)
// in series with Res || Les || Ces, Ces = Qes / (2 pi fs Re), Res = Qms / (2 pi fs Ces).
std::complex<double> driverImpedance(const DriverSpec& driver, double frequency);

// The first channel over the second: Z / (Rs + Z) for the loaded driver.
std::complex<double> wiringRatio(const DriverWiring& wiring, double frequency);

std::string describeWiring(const DriverWiring& wiring);

}  // namespace auralyn::simulation
