#include "filtered_recordings.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "sweep/sweep_layout.h"
#include "sweep_recording.h"

namespace auralyn::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kHalfTaps = 64;
constexpr int kPhases = 2048;

// Bilinear transform of H(s) = (B0 + B1 s + B2 s^2) / (1 + s / (w Q) + s^2 / w^2) at K = 2 fs.
Biquad bilinear(double n0, double n1, double n2, double d0, double d1, double d2, double k) {
    const double a0 = d0 + d1 * k + d2 * k * k;
    Biquad q;
    q.b0 = (n0 + n1 * k + n2 * k * k) / a0;
    q.b1 = (2 * n0 - 2 * n2 * k * k) / a0;
    q.b2 = (n0 - n1 * k + n2 * k * k) / a0;
    q.a1 = (2 * d0 - 2 * d2 * k * k) / a0;
    q.a2 = (d0 - d1 * k + d2 * k * k) / a0;
    return q;
}

double prewarped(double cutoff, double sampleRate) { return 2 * sampleRate * std::tan(kPi * cutoff / sampleRate); }

// A Kaiser-windowed sinc (beta 12), tabulated at kPhases fractional offsets.
const std::vector<double>& kernelTable() {
    static const std::vector<double> table = [] {
        std::vector<double> t(static_cast<std::size_t>(kPhases + 1) * 2 * kHalfTaps);
        const double beta = 12.0;
        const double norm = std::cyl_bessel_i(0.0, beta);
        for (int p = 0; p <= kPhases; ++p) {
            const double frac = static_cast<double>(p) / kPhases;
            for (int i = 0; i < 2 * kHalfTaps; ++i) {
                const double x = static_cast<double>(i - kHalfTaps + 1) - frac;  // tap offset from the point
                const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
                const double r = x / kHalfTaps;
                const double window = std::fabs(r) >= 1.0 ? 0.0 : std::cyl_bessel_i(0.0, beta * std::sqrt(1 - r * r)) / norm;
                t[static_cast<std::size_t>(p) * 2 * kHalfTaps + static_cast<std::size_t>(i)] = sinc * window;
            }
        }
        return t;
    }();
    return table;
}

}  // namespace

std::complex<double> Biquad::response(double frequency, double sampleRate) const {
    const std::complex<double> z1 = std::polar(1.0, -2 * kPi * frequency / sampleRate);
    return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
}

Biquad butterworthLowPass(double cutoff, double sampleRate) {
    const double w = prewarped(cutoff, sampleRate);
    return bilinear(1, 0, 0, 1, std::sqrt(2.0) / w, 1 / (w * w), 2 * sampleRate);
}

Biquad butterworthHighPass(double cutoff, double sampleRate) {
    const double w = prewarped(cutoff, sampleRate);
    return bilinear(0, 0, 1 / (w * w), 1, std::sqrt(2.0) / w, 1 / (w * w), 2 * sampleRate);
}

std::vector<double> filtered(const std::vector<double>& x, const std::vector<Biquad>& sections) {
    std::vector<double> y = x;
    for (const Biquad& q : sections) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : y) {
            const double out = q.b0 * v + q.b1 * x1 + q.b2 * x2 - q.a1 * y1 - q.a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = out;
            v = out;
        }
    }
    return y;
}

std::complex<double> responseOf(const std::vector<Biquad>& sections, double frequency, double sampleRate) {
    std::complex<double> h = 1.0;
    for (const Biquad& q : sections) h *= q.response(frequency, sampleRate);
    return h;
}

std::vector<double> playedSweep(const sweep::SweepPlan& plan) {
    const std::vector<std::int16_t> pcm = synthesiseSweep(plan);
    return {pcm.begin(), pcm.end()};
}

std::int64_t playedOrigin(const sweep::SweepPlan& plan) {
    const sweep::SweepParameters& p = plan.params();
    return std::int64_t{sweep::generatorLeadInSamples(p)} + sweep::syncSettlingSamples(p) + sweep::syncDriftSamples(p);
}

std::vector<double> recordedAt(const std::vector<double>& played, double delay, double ratio, std::size_t length) {
    const std::vector<double>& table = kernelTable();
    std::vector<double> out(length, 0.0);
    const auto size = static_cast<std::int64_t>(played.size());
    for (std::size_t n = 0; n < length; ++n) {
        const double t = (static_cast<double>(n) - delay) / ratio;
        const double whole = std::floor(t);
        const double frac = t - whole;
        const auto base = static_cast<std::int64_t>(whole);
        const double position = frac * kPhases;
        const int p = std::min(static_cast<int>(position), kPhases - 1);
        const double mix = position - p;
        const double* lo = &table[static_cast<std::size_t>(p) * 2 * kHalfTaps];
        const double* hi = lo + 2 * kHalfTaps;
        double sum = 0.0;
        for (int i = 0; i < 2 * kHalfTaps; ++i) {
            const std::int64_t k = base + i - kHalfTaps + 1;
            if (k < 0 || k >= size) continue;
            sum += played[static_cast<std::size_t>(k)] * (lo[i] + mix * (hi[i] - lo[i]));
        }
        out[n] = sum;
    }
    return out;
}

std::vector<std::int16_t> toPcm16(const std::vector<double>& x, double gain, double noiseRms, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::int16_t> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double v = std::round(gain * x[i] + (noiseRms > 0.0 ? noiseRms * normal(random) : 0.0));
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

std::vector<double> whiteNoise(std::size_t length, double rms, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> normal(0.0, rms);
    std::vector<double> out(length);
    for (double& v : out) v = normal(random);
    return out;
}

std::vector<double> randomTones(std::size_t length, std::size_t tones, double sampleRate, std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> out(length, 0.0);
    for (std::size_t k = 0; k < tones; ++k) {
        const double frequency = 20.0 * std::pow(1000.0, unit(random));  // 20 Hz to 20 kHz, log-uniform
        const double amplitude = 3000.0 * unit(random);
        const double phase = 2 * kPi * unit(random);
        // Each tone sounds for a random part of the recording, as notes do.
        const auto from = static_cast<std::size_t>(unit(random) * static_cast<double>(length));
        const auto to = std::min(length, from + static_cast<std::size_t>(unit(random) * sampleRate * 2.0));
        for (std::size_t i = from; i < to; ++i)
            out[i] += amplitude * std::sin(2 * kPi * frequency * static_cast<double>(i) / sampleRate + phase);
    }
    return out;
}

std::vector<double> joined(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

}  // namespace auralyn::test
