#include "known_responses.h"

#include <cmath>

#include "response/phase.h"

namespace auralyn::response::test {
namespace {

std::complex<double> denominator(double f, double f0, double q) {
    const std::complex<double> s(0.0, f / f0);
    return s * s + s / q + 1.0;
}

}  // namespace

std::vector<double> logTones(int perOctave, double low, double high) {
    std::vector<double> tones;
    const int first = static_cast<int>(std::ceil(perOctave * std::log2(low / 1000.0)));
    const int last = static_cast<int>(std::floor(perOctave * std::log2(high / 1000.0)));
    for (int k = first; k <= last; ++k) tones.push_back(1000.0 * std::exp2(static_cast<double>(k) / perOctave));
    return tones;
}

Response sampled(const std::vector<double>& frequencies, const std::function<std::complex<double>(double)>& h) {
    Response response;
    std::vector<double> phase;
    for (double f : frequencies) {
        Tone tone;
        tone.frequency = f;
        tone.magnitude = std::abs(h(f));
        phase.push_back(std::arg(h(f)));
        response.tones.push_back(tone);
    }
    phase = unwrapRadians(phase);
    for (std::size_t i = 0; i < phase.size(); ++i) response.tones[i].phase = phase[i];
    return response;
}

std::complex<double> analogHighpass(double f, double f0, double q) {
    const std::complex<double> s(0.0, f / f0);
    return s * s / denominator(f, f0, q);
}

std::complex<double> analogLowpass(double f, double f0, double q) { return 1.0 / denominator(f, f0, q); }

std::complex<double> analogAllpass(double f, double f0, double q) {
    const std::complex<double> s(0.0, f / f0);
    return (s * s - s / q + 1.0) / denominator(f, f0, q);
}

double analogAllpassDelay(double f, double f0, double q) {
    // τ = 2·(ω0/Q)(ω0² + ω²) / ((ω0² − ω²)² + (ω ω0 / Q)²)
    const double w = 2.0 * kPi * f, w0 = 2.0 * kPi * f0;
    const double d = (w0 * w0 - w * w);
    return 2.0 * (w0 / q) * (w0 * w0 + w * w) / (d * d + std::pow(w * w0 / q, 2.0));
}

}  // namespace auralyn::response::test
