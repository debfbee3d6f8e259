#include "impedance/driver_model.h"

#include <cmath>

#include "impedance/estimate.h"

namespace auralyn::impedance {

double DriverModel::qts() const {
    const double q = qes();
    return qms * q / (qms + q);
}

// The parallel resonance's elements: Qms = 2 pi fs Ces Res, fs = 1 / (2 pi sqrt(Les Ces)).
double DriverModel::ces() const { return qms / (2.0 * kPi * fs * res); }
double DriverModel::les() const { return 1.0 / (std::pow(2.0 * kPi * fs, 2) * ces()); }

DriverModel driverFromQs(double re, double le, double fs, double qms, double qes) {
    DriverModel d;
    d.re = re;
    d.le = le;
    d.fs = fs;
    d.qms = qms;
    d.res = re * qms / qes;
    return d;
}

std::complex<double> voiceCoilImpedance(const DriverModel& driver, double frequency) {
    const double omega = 2.0 * kPi * frequency;
    std::complex<double> z(driver.re, omega * driver.le);
    if (driver.lossyCoil()) {
        const std::complex<double> l2(0.0, omega * driver.l2);
        z += driver.r2 * l2 / (driver.r2 + l2);
    }
    return z;
}

std::complex<double> motionalImpedance(const DriverModel& driver, double frequency) {
    const double detuning = frequency / driver.fs - driver.fs / frequency;
    return driver.res / std::complex<double>(1.0, driver.qms * detuning);
}

std::complex<double> driverImpedance(const DriverModel& driver, double frequency) {
    return voiceCoilImpedance(driver, frequency) + motionalImpedance(driver, frequency);
}

double inductanceAt(const DriverModel& driver, double frequency) {
    return voiceCoilImpedance(driver, frequency).imag() / (2.0 * kPi * frequency);
}

DriverModel withMassRatio(const DriverModel& driver, double massRatio) {
    DriverModel loaded = driver;
    const double root = std::sqrt(massRatio);
    loaded.fs = driver.fs / root;
    loaded.qms = driver.qms * root;
    return loaded;
}

DriverModel withStiffnessRatio(const DriverModel& driver, double stiffnessRatio) {
    DriverModel loaded = driver;
    const double root = std::sqrt(stiffnessRatio);
    loaded.fs = driver.fs * root;
    loaded.qms = driver.qms * root;
    return loaded;
}

}  // namespace auralyn::impedance
