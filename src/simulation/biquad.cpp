#include "simulation/biquad.h"

#include <cmath>
#include <numbers>

namespace auralyn::simulation {
namespace {

struct RawCoefficients {
    double b0, b1, b2, a0, a1, a2;
};

BiquadCoefficients normalised(const RawCoefficients& r) {
    return {r.b0 / r.a0, r.b1 / r.a0, r.b2 / r.a0, r.a1 / r.a0, r.a2 / r.a0};
}

RawCoefficients shelf(bool low, double cosW, double alpha, double a) {
    const double twoSqrtAAlpha = 2.0 * std::sqrt(a) * alpha;
    const double sign = low ? 1.0 : -1.0;  // the high shelf mirrors the signs of the cosine terms
    return {
        a * ((a + 1.0) - sign * (a - 1.0) * cosW + twoSqrtAAlpha),
        sign * 2.0 * a * ((a - 1.0) - sign * (a + 1.0) * cosW),
        a * ((a + 1.0) - sign * (a - 1.0) * cosW - twoSqrtAAlpha),
        (a + 1.0) + sign * (a - 1.0) * cosW + twoSqrtAAlpha,
        -sign * 2.0 * ((a - 1.0) + sign * (a + 1.0) * cosW),
        (a + 1.0) + sign * (a - 1.0) * cosW - twoSqrtAAlpha,
    };
}

}  // namespace

BiquadCoefficients designBiquad(const FilterSettings& filter, double sampleRate) {
    const double w0 = 2.0 * std::numbers::pi * filter.frequency / sampleRate;
    const double cosW = std::cos(w0);
    const double alpha = std::sin(w0) / (2.0 * filter.q);
    const double a = std::pow(10.0, filter.gainDb / 40.0);
    switch (filter.kind) {
    case FilterKind::LowPass:
        return normalised({(1.0 - cosW) / 2.0, 1.0 - cosW, (1.0 - cosW) / 2.0, 1.0 + alpha, -2.0 * cosW, 1.0 - alpha});
    case FilterKind::HighPass:
        return normalised(
            {(1.0 + cosW) / 2.0, -(1.0 + cosW), (1.0 + cosW) / 2.0, 1.0 + alpha, -2.0 * cosW, 1.0 - alpha});
    case FilterKind::BandPass:  // constant 0 dB peak gain
        return normalised({alpha, 0.0, -alpha, 1.0 + alpha, -2.0 * cosW, 1.0 - alpha});
    case FilterKind::Notch:
        return normalised({1.0, -2.0 * cosW, 1.0, 1.0 + alpha, -2.0 * cosW, 1.0 - alpha});
    case FilterKind::Peak:
        return normalised(
            {1.0 + alpha * a, -2.0 * cosW, 1.0 - alpha * a, 1.0 + alpha / a, -2.0 * cosW, 1.0 - alpha / a});
    case FilterKind::LowShelf:
        return normalised(shelf(true, cosW, alpha, a));
    case FilterKind::HighShelf:
        return normalised(shelf(false, cosW, alpha, a));
    case FilterKind::AllPass:
        return normalised({1.0 - alpha, -2.0 * cosW, 1.0 + alpha, 1.0 + alpha, -2.0 * cosW, 1.0 - alpha});
    }
    return {};
}

std::complex<double> biquadResponse(const BiquadCoefficients& c, double frequency, double sampleRate) {
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = std::polar(1.0, -2.0 * w);
    return (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
}

}  // namespace auralyn::simulation
