#pragma once

#include "impedance/driver_fit.h"
#include "impedance/estimate.h"

namespace auralyn::impedance {

// A driver's mechanical figures, each with its 95 % interval. Air is taken at
// 20 degrees C and sea level (density 1.2041 kg/m^3, sound at 343.21 m/s).
struct MechanicalParameters {
    Estimate vasLitres;       // Vas: the volume of air as compliant as the suspension
    Estimate mmsGrams;        // Mms: the moving mass, air load included
    Estimate cmsMmPerNewton;  // Cms: the suspension's compliance
    Estimate blTeslaMetres;   // Bl: the force factor (N/A)
    Estimate rmsKgPerSecond;  // Rms: the suspension's mechanical resistance (N s/m)
    Estimate eta0Percent;     // reference efficiency, half-space
    Estimate spl1w1mDb;       // SPL at 1 m for 1 W into Re, half-space, dB re 20 uPa

    // False where the loaded resonance did not move the way the load makes
    // it move (a mass lowers it, a box raises it): no parameter can be had.
    bool valid() const;
};

// The added-mass method (Thiele, Small): a mass m on the cone moves the
// resonance from fs to fs', so Mms = m / ((fs/fs')^2 - 1), Cms = 1 / ((2 pi fs)^2 Mms),
// Vas = rho c^2 Sd^2 Cms.
MechanicalParameters fromAddedMass(const DriverFit& freeAir, const DriverFit& loaded, double sdSquareMetres,
                                   double massKilograms);

// The known-box method: in a closed box of Vb the resonance and Qes become
// fc and Qec, and Vas = Vb (fc Qec / (fs Qes) - 1).
MechanicalParameters fromKnownBox(const DriverFit& freeAir, const DriverFit& boxed, double sdSquareMetres,
                                  double boxCubicMetres);

// The rest from Mms, fs, the Q's, Re and Sd: Bl = sqrt(2 pi fs Mms Re / Qes),
// Rms = 2 pi fs Mms / Qms, eta0 = 4 pi^2 fs^3 Vas / (c^3 Qes) and
// SPL = 10 log10(eta0 rho c / (2 pi p0^2)) with p0 = 20 uPa.
// Intervals propagate the two fits' covariances (independent recordings) to
// first order; Sd and the mass or volume are taken as exact.

}  // namespace auralyn::impedance
