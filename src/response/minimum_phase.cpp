#include "response/minimum_phase.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "platform/fftw_arrays.h"

namespace auralyn::response {
namespace {

constexpr double kNepersPerDbOctave = 0.11512925464970229 / 0.69314718055994531;  // (ln 10 / 20) / ln 2

// The dilogarithm Li2(x) for 0 <= x <= 1: its power series below 1/2, Euler's
// reflection above.
double dilogarithm(double x) {
    if (x > 0.5) {
        if (x >= 1.0) return kPi * kPi / 6.0;
        return kPi * kPi / 6.0 - std::log(x) * std::log1p(-x) - dilogarithm(1.0 - x);
    }
    double sum = 0.0, power = x;
    for (int k = 1; k < 200 && power > 1e-18; ++k, power *= x) sum += power / (static_cast<double>(k) * k);
    return sum;
}

// ∫_0^x ln coth(|t|/2) dt, odd in x. From ln coth(t/2) = 2 Σ_{n odd} e^{-nt}/n,
// ∫_a^∞ = 2 Σ_{n odd} e^{-na}/n² = 2 (Li2(q) − Li2(q²)/4), q = e^{-a}, and the
// whole integral from 0 is π²/4.
double kernelIntegral(double x) {
    const double a = std::abs(x);
    const double q = std::exp(-a);
    const double tail = 2.0 * (dilogarithm(q) - dilogarithm(q * q) / 4.0);
    const double fromZero = kPi * kPi / 4.0 - tail;
    return x < 0.0 ? -fromZero : fromZero;
}

struct Axis {
    std::vector<double> u;  // per tone
    bool warped = false;
};

Axis axisOf(const Response& response) {
    Axis axis;
    const double top = response.tones.back().frequency;
    axis.warped = response.sampleRate && top < 0.5 * *response.sampleRate;
    for (const Tone& tone : response.tones) {
        const double x = axis.warped ? std::tan(kPi * tone.frequency / *response.sampleRate) : tone.frequency;
        axis.u.push_back(std::log(x));
    }
    return axis;
}

// Least-squares slope of ln|H| against u over the tones within a third of an
// octave of one end (at least two tones), in nepers per unit of u, rounded
// to a whole number (a whole number of 6.02 dB per octave) within ±8.
double endSlope(const std::vector<double>& u, const std::vector<double>& a, bool high) {
    const std::size_t n = u.size();
    const double reach = std::log(2.0) / 3.0;
    double su = 0, sa = 0, suu = 0, sua = 0;
    std::size_t count = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = high ? n - 1 - k : k;
        if (count >= 2 && std::abs(u[i] - (high ? u[n - 1] : u[0])) > reach) break;
        su += u[i], sa += a[i], suu += u[i] * u[i], sua += u[i] * a[i];
        ++count;
    }
    const double m = static_cast<double>(count);
    const double slope = (m * sua - su * sa) / (m * suu - su * su);
    // A rational system's magnitude ends in a slope of a whole number of
    // 6.02 dB per octave (one per pole or zero); a curve measured up to a
    // resonance or a corner has not reached it yet, and continuing its
    // momentary slope would bend the phase far into the band.
    const double limit = 8.0;
    return std::clamp(std::round(slope), -limit, limit);
}

using platform::fftwArray;

// Linear convolution of a and b by FFT (zero-padded past the full length).
std::vector<double> convolve(const std::vector<double>& a, const std::vector<double>& b) {
    const std::size_t full = a.size() + b.size() - 1;
    std::size_t size = 1;
    while (size < full) size *= 2;
    const std::size_t bins = size / 2 + 1;
    auto x = fftwArray<double>(size);
    auto spectrumA = fftwArray<fftw_complex>(bins);
    auto spectrumB = fftwArray<fftw_complex>(bins);
    fftw_plan forwardA = platform::fftw().planDftR2c1d(static_cast<int>(size), x.get(), spectrumA.get(), FFTW_ESTIMATE);
    fftw_plan forwardB = platform::fftw().planDftR2c1d(static_cast<int>(size), x.get(), spectrumB.get(), FFTW_ESTIMATE);
    fftw_plan backward = platform::fftw().planDftC2r1d(static_cast<int>(size), spectrumA.get(), x.get(), FFTW_ESTIMATE);
    std::fill(x.get(), x.get() + size, 0.0);
    std::copy(a.begin(), a.end(), x.get());
    platform::fftw().execute(forwardA);
    std::fill(x.get(), x.get() + size, 0.0);
    std::copy(b.begin(), b.end(), x.get());
    platform::fftw().execute(forwardB);
    for (std::size_t k = 0; k < bins; ++k) {
        const std::complex<double> p = std::complex<double>(spectrumA[k][0], spectrumA[k][1]) *
                                       std::complex<double>(spectrumB[k][0], spectrumB[k][1]);
        spectrumA[k][0] = p.real() / static_cast<double>(size);
        spectrumA[k][1] = p.imag() / static_cast<double>(size);
    }
    platform::fftw().execute(backward);
    platform::fftw().destroyPlan(forwardA);
    platform::fftw().destroyPlan(forwardB);
    platform::fftw().destroyPlan(backward);
    return std::vector<double>(x.get(), x.get() + full);
}

// ln|H| on a uniform grid of `points` from u.front() to u.back(), linear in u
// between the tones.
std::vector<double> gridMagnitude(const std::vector<double>& u, const std::vector<double>& a, std::size_t points,
                                  double step) {
    std::vector<double> grid(points);
    std::size_t i = 0;
    for (std::size_t k = 0; k < points; ++k) {
        const double at = std::min(u.front() + step * static_cast<double>(k), u.back());
        while (i + 2 < u.size() && u[i + 1] < at) ++i;
        const double w = (at - u[i]) / (u[i + 1] - u[i]);
        grid[k] = a[i] + (a[i + 1] - a[i]) * w;
    }
    return grid;
}

std::size_t gridPoints(std::size_t tones) { return std::clamp<std::size_t>(2 * tones, 4096, 16384); }

}  // namespace

MinimumPhase minimumPhase(const Response& response, const Extension& extension) {
    const Axis axis = axisOf(response);
    const std::vector<double>& u = axis.u;
    std::vector<double> a;
    for (const Tone& tone : response.tones) a.push_back(std::log(tone.magnitude));
    const double lowSlope =
        extension.lowDbPerOctave ? *extension.lowDbPerOctave * kNepersPerDbOctave : endSlope(u, a, false);
    const double highSlope =
        extension.highDbPerOctave ? *extension.highDbPerOctave * kNepersPerDbOctave : endSlope(u, a, true);

    const std::size_t k = gridPoints(u.size());
    const double h = (u.back() - u.front()) / static_cast<double>(k - 1);
    const std::vector<double> grid = gridMagnitude(u, a, k, h);
    std::vector<double> slopes(k - 1);
    for (std::size_t c = 0; c + 1 < k; ++c) slopes[c] = (grid[c + 1] - grid[c]) / h;

    // K(m·h) for m = 0..k; K is odd. Step c seen from grid point j
    // contributes slopes[c]·D(c − j) with D(m) = K((m + 1)h) − K(mh); as a
    // convolution, E(m) = D(−m) for m from −(k − 2) to k − 1.
    std::vector<double> kernel(k + 1);
    for (std::size_t m = 0; m <= k; ++m) kernel[m] = kernelIntegral(static_cast<double>(m) * h);
    const auto kernelAt = [&](long m) { return m < 0 ? -kernel[static_cast<std::size_t>(-m)] : kernel[static_cast<std::size_t>(m)]; };
    std::vector<double> e(2 * k - 2);
    for (std::size_t idx = 0; idx < e.size(); ++idx) {
        const long m = static_cast<long>(k - 2) - static_cast<long>(idx);
        e[idx] = kernelAt(m + 1) - kernelAt(m);
    }
    const std::vector<double> sum = convolve(slopes, e);
    std::vector<double> gridPhase(k);
    const double quarter = kPi * kPi / 4.0;
    for (std::size_t j = 0; j < k; ++j) {
        const double below = lowSlope * (quarter - kernel[j]);
        const double above = highSlope * (quarter - kernel[k - 1 - j]);
        gridPhase[j] = (sum[j + k - 2] + below + above) / kPi;
    }

    MinimumPhase out;
    out.warped = axis.warped;
    out.lowDbPerOctave = lowSlope / kNepersPerDbOctave;
    out.highDbPerOctave = highSlope / kNepersPerDbOctave;
    for (double ui : u) {
        const double at = (ui - u.front()) / h;
        const std::size_t j = std::min(static_cast<std::size_t>(at), k - 2);
        const double w = at - static_cast<double>(j);
        out.phase.push_back(gridPhase[j] + (gridPhase[j + 1] - gridPhase[j]) * w);
    }
    return out;
}

std::vector<double> excessPhase(const Response& response, const MinimumPhase& minimum) {
    std::vector<double> out;
    for (std::size_t i = 0; i < response.tones.size(); ++i) out.push_back(response.tones[i].phase - minimum.phase[i]);
    return out;
}

}  // namespace auralyn::response
