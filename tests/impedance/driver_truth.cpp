#include "driver_truth.h"

#include <cmath>

#include "simulation/driver_wiring.h"

namespace auralyn::impedance::test {

// The simulator's driver model, which shares no code with the impedance library.
std::complex<double> trueImpedance(const TrueDriver& d, double frequency) {
    return simulation::driverImpedance({d.re, d.le, d.fs, d.qms, d.qes, d.l2, d.r2}, frequency);
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
