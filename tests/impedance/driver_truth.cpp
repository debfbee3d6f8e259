#include "driver_truth.h"

#include <cmath>

namespace auralyn::impedance::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

// Ces = Qes / (omega_s Re), Les = 1 / (omega_s^2 Ces), Res = Qms / (omega_s Ces);
// the motional branch as the admittance of the three in parallel.
std::complex<double> trueImpedance(const TrueDriver& d, double frequency) {
    const double ws = kTwoPi * d.fs;
    const double ces = d.qes / (ws * d.re);
    const double les = 1.0 / (ws * ws * ces);
    const double res = d.qms / (ws * ces);
    const std::complex<double> jw(0.0, kTwoPi * frequency);
    const std::complex<double> motional = 1.0 / (1.0 / res + jw * ces + 1.0 / (jw * les));
    std::complex<double> coil = d.re + jw * d.le;
    if (d.l2 > 0.0 && d.r2 > 0.0) coil += 1.0 / (1.0 / d.r2 + 1.0 / (jw * d.l2));
    return coil + motional;
}

std::vector<double> toneFrequencies(double low, double high, int perOctave) {
    std::vector<double> f;
    for (int k = 0;; ++k) {
        const double v = low * std::pow(2.0, static_cast<double>(k) / perOctave);
        if (v > high) break;
        f.push_back(v);
    }
    return f;
}

std::vector<RatioTone> seriesRecordingOf(const std::vector<std::complex<double>>& loads,
                                         const std::vector<double>& frequencies, const NoisyWiring& wiring,
                                         std::mt19937_64& random) {
    std::normal_distribution<double> normal(0.0, wiring.noise);
    std::vector<RatioTone> tones;
    for (std::size_t i = 0; i < frequencies.size(); ++i) {
        const std::complex<double> h = loads[i] / (wiring.senseOhms + loads[i]);
        const std::complex<double> drive = wiring.driveLevel;
        const std::complex<double> driver = drive * h;
        const std::complex<double> driveNoisy = drive + std::complex<double>(normal(random), normal(random));
        const std::complex<double> driverNoisy = driver + std::complex<double>(normal(random), normal(random));
        // Relative errors of each channel's phasor, in ln|.| and in phase alike.
        const double relative = std::hypot(wiring.noise / std::abs(driver), wiring.noise / std::abs(drive));
        RatioTone t;
        t.frequency = frequencies[i];
        t.ratio = driverNoisy / driveNoisy;
        t.magnitudeU95Db = 1.959963984540054 * relative * 20.0 / std::log(10.0);
        t.phaseU95Deg = 1.959963984540054 * relative * 180.0 / 3.14159265358979323846;
        t.driveDbfs = 20.0 * std::log10(wiring.driveLevel);
        tones.push_back(t);
    }
    return tones;
}

std::vector<RatioTone> seriesRecording(const TrueDriver& d, const std::vector<double>& frequencies,
                                       const NoisyWiring& wiring, std::mt19937_64& random) {
    std::vector<std::complex<double>> loads;
    for (double f : frequencies) loads.push_back(trueImpedance(d, f));
    return seriesRecordingOf(loads, frequencies, wiring, random);
}

}  // namespace auralyn::impedance::test
