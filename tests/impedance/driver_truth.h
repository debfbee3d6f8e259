#pragma once

#include <complex>
#include <random>
#include <vector>

#include "impedance/wiring.h"

namespace auralyn::impedance::test {

// A driver as the tests know it, independently of the library's model: the
// circuit's elements from the usual figures, and its impedance from the
// simulator's circuit, which the impedance library does not share.
struct TrueDriver {
    double re = 6.2;
    double le = 0.45e-3;
    double fs = 38.0;
    double qms = 3.1;
    double qes = 0.42;
    double l2 = 0.0;  // 0: a lossless coil
    double r2 = 0.0;

    double qts() const { return qms * qes / (qms + qes); }
};

std::complex<double> trueImpedance(const TrueDriver& d, double frequency);

// Tones at `perOctave` to the octave from `low` to `high`, as a sweep plays them.
std::vector<double> toneFrequencies(double low, double high, int perOctave);

// The ratio of the two channels of the series wiring: each channel's phasor
// fitted with complex Gaussian noise of `noise` (per component, in units of
// full scale), the drive at `driveLevel` of full scale; intervals as the
// analysis states them for such noise.
struct NoisyWiring {
    double senseOhms = 10.0;
    double driveLevel = 0.5;
    double noise = 1e-5;
};

std::vector<RatioTone> seriesRecording(const TrueDriver& d, const std::vector<double>& frequencies,
                                       const NoisyWiring& wiring, std::mt19937_64& random);

// The same for any load given by its impedance per tone.
std::vector<RatioTone> seriesRecordingOf(const std::vector<std::complex<double>>& loads,
                                         const std::vector<double>& frequencies, const NoisyWiring& wiring,
                                         std::mt19937_64& random);

}  // namespace auralyn::impedance::test
