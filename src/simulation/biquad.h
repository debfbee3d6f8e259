#pragma once

#include <complex>

namespace auralyn::simulation {

// The second-order sections of the audio EQ cookbook.
enum class FilterKind { LowPass, HighPass, BandPass, Notch, Peak, LowShelf, HighShelf, AllPass };

struct FilterSettings {
    FilterKind kind = FilterKind::LowPass;
    double frequency = 1000.0;  // Hz: corner, centre or shelf midpoint
    double q = 0.7071067811865476;
    double gainDb = 0.0;        // only for peak and shelves
};

// Coefficients divided by a0, so the denominator is 1 + a1 z^-1 + a2 z^-2.
struct BiquadCoefficients {
    double b0 = 1.0;
    double b1 = 0.0;
    double b2 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
};

BiquadCoefficients designBiquad(const FilterSettings& filter, double sampleRate);

// H(e^jw) at the given frequency, w = 2 pi f / rate.
std::complex<double> biquadResponse(const BiquadCoefficients& c, double frequency, double sampleRate);

// Transposed direct form II: two state values, good rounding behaviour in double.
class Biquad {
public:
    explicit Biquad(const BiquadCoefficients& c) : c_(c) {}

    double process(double x) {
        const double y = c_.b0 * x + s1_;
        s1_ = c_.b1 * x - c_.a1 * y + s2_;
        s2_ = c_.b2 * x - c_.a2 * y;
        return y;
    }

private:
    BiquadCoefficients c_;
    double s1_ = 0.0;
    double s2_ = 0.0;
};

}  // namespace auralyn::simulation
