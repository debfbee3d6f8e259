#include "impedance/mechanical_parameters.h"

#include <array>
#include <cmath>
#include <functional>

namespace auralyn::impedance {
namespace {

// Air at 20 degrees C and sea level: density (kg/m^3) and speed of sound (m/s).
constexpr double kAirDensity = 1.2041;
constexpr double kSpeedOfSound = 343.21;

// The two fits' (ln Re, ln fs, ln Qms, ln Qes): free air first, then loaded.
using Inputs = std::array<double, 8>;
using Outputs = std::array<double, 7>;
using Derivation = std::function<Outputs(const Inputs&)>;

Inputs inputsOf(const DriverFit& freeAir, const DriverFit& loaded) {
    return {std::log(freeAir.re.value), std::log(freeAir.fs.value), std::log(freeAir.qms.value),
            std::log(freeAir.qes.value), std::log(loaded.re.value), std::log(loaded.fs.value),
            std::log(loaded.qms.value), std::log(loaded.qes.value)};
}

// Everything from Vas and the free-air figures.
Outputs fromVas(double vas, double re, double fs, double qms, double qes, double sd) {
    const double omega = 2.0 * kPi * fs;
    const double cms = vas / (kAirDensity * kSpeedOfSound * kSpeedOfSound * sd * sd);
    const double mms = 1.0 / (omega * omega * cms);
    const double bl = std::sqrt(omega * mms * re / qes);
    const double rms = omega * mms / qms;
    const double eta0 = 4.0 * kPi * kPi * fs * fs * fs * vas / (std::pow(kSpeedOfSound, 3) * qes);
    const double spl = 10.0 * std::log10(eta0 * kAirDensity * kSpeedOfSound / (2.0 * kPi * 4e-10));
    return {vas * 1000.0, mms * 1000.0, cms * 1000.0, bl, rms, eta0 * 100.0, spl};
}

MechanicalParameters propagated(const Derivation& derive, const DriverFit& freeAir, const DriverFit& loaded) {
    const Inputs x = inputsOf(freeAir, loaded);
    std::array<double, 64> covariance{};
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            covariance[i * 8 + j] = freeAir.coreCovariance.size() == 16 ? freeAir.coreCovariance[i * 4 + j] : 0.0;
            covariance[(i + 4) * 8 + j + 4] = loaded.coreCovariance.size() == 16 ? loaded.coreCovariance[i * 4 + j] : 0.0;
        }
    }
    const Outputs value = derive(x);
    std::array<Outputs, 8> gradient{};
    for (std::size_t j = 0; j < 8; ++j) {
        Inputs up = x, down = x;
        up[j] += 1e-6;
        down[j] -= 1e-6;
        const Outputs a = derive(up), b = derive(down);
        for (std::size_t k = 0; k < 7; ++k) gradient[j][k] = (a[k] - b[k]) / 2e-6;
    }
    std::array<Estimate, 7> e{};
    for (std::size_t k = 0; k < 7; ++k) {
        double variance = 0.0;
        for (std::size_t i = 0; i < 8; ++i)
            for (std::size_t j = 0; j < 8; ++j) variance += gradient[i][k] * covariance[i * 8 + j] * gradient[j][k];
        e[k] = {value[k], kCoverage95 * std::sqrt(std::max(variance, 0.0))};
    }
    return {e[0], e[1], e[2], e[3], e[4], e[5], e[6]};
}

}  // namespace

bool MechanicalParameters::valid() const {
    for (const Estimate& e : {vasLitres, mmsGrams, cmsMmPerNewton, blTeslaMetres, rmsKgPerSecond, eta0Percent})
        if (!(std::isfinite(e.value) && e.value > 0.0 && std::isfinite(e.u95))) return false;
    return std::isfinite(spl1w1mDb.value);
}

MechanicalParameters fromAddedMass(const DriverFit& freeAir, const DriverFit& loaded, double sd, double mass) {
    const Derivation derive = [sd, mass](const Inputs& x) {
        const double fs = std::exp(x[1]);
        const double shifted = std::exp(x[5]);
        const double mms = mass / (std::pow(fs / shifted, 2) - 1.0);
        const double cms = 1.0 / (std::pow(2.0 * kPi * fs, 2) * mms);
        const double vas = kAirDensity * kSpeedOfSound * kSpeedOfSound * sd * sd * cms;
        return fromVas(vas, std::exp(x[0]), fs, std::exp(x[2]), std::exp(x[3]), sd);
    };
    return propagated(derive, freeAir, loaded);
}

MechanicalParameters fromKnownBox(const DriverFit& freeAir, const DriverFit& boxed, double sd, double vb) {
    const Derivation derive = [sd, vb](const Inputs& x) {
        const double fs = std::exp(x[1]);
        const double qes = std::exp(x[3]);
        const double vas = vb * (std::exp(x[5]) * std::exp(x[7]) / (fs * qes) - 1.0);
        return fromVas(vas, std::exp(x[0]), fs, std::exp(x[2]), qes, sd);
    };
    return propagated(derive, freeAir, boxed);
}

}  // namespace auralyn::impedance
