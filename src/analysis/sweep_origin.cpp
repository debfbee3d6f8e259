#include "analysis/sweep_origin.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

#include "analysis/angles.h"

namespace auralyn::analysis {
namespace {

// Tones weaker than this share of the strongest do not set the grid's step.
constexpr double kGridWeightShare = 0.01;
constexpr double kGridPerPeriod = 8.0;
constexpr int kNewtonSteps = 12;

using Complex = std::complex<double>;

// Z(s) = sum w exp(i (phase + 2 pi nu s)) and its first two derivatives in s.
struct Envelope {
    Complex z, dz, ddz;
    double power() const { return std::norm(z); }
    double slope() const { return 2.0 * std::real(std::conj(z) * dz); }
    double curvature() const { return 2.0 * (std::norm(dz) + std::real(std::conj(z) * ddz)); }
};

Envelope envelopeAt(std::span<const StartPhase> tones, double s) {
    Envelope e;
    for (const StartPhase& t : tones) {
        const double omega = kTwoPi * t.cyclesPerSample;
        const Complex term = t.weight * std::polar(1.0, t.phase + omega * s);
        e.z += term;
        e.dz += Complex(0.0, omega) * term;
        e.ddz -= omega * omega * term;
    }
    return e;
}

double gridStep(std::span<const StartPhase> tones) {
    double strongest = 0.0;
    for (const StartPhase& t : tones) strongest = std::max(strongest, t.weight);
    double highest = 0.0;
    for (const StartPhase& t : tones)
        if (t.weight >= kGridWeightShare * strongest) highest = std::max(highest, t.cyclesPerSample);
    return highest > 0.0 ? 1.0 / (kGridPerPeriod * highest) : 1.0;
}

// Tones turned side by side on the grid: their recurrences are independent
// chains, so they overlap in the pipeline where one alone would wait on its
// last product. Each lag still takes the tones' terms in their order.
constexpr std::size_t kTonesAtOnce = 4;

struct GridTone {
    Complex term;
    Complex turn;
};

GridTone gridTone(const StartPhase& t, double reach, double step) {
    const double omega = kTwoPi * t.cyclesPerSample;
    return {t.weight * std::polar(1.0, t.phase - omega * reach), std::polar(1.0, omega * step)};
}

// The turn written out as the product of finite complex numbers is (the
// library's product checks each result for NaN, which a phasor never is).
template <std::size_t G>
void addTones(const StartPhase* tones, double reach, double step, std::vector<Complex>& z) {
    double re[G], im[G], turnRe[G], turnIm[G];
    for (std::size_t k = 0; k < G; ++k) {
        const GridTone g = gridTone(tones[k], reach, step);
        re[k] = g.term.real();
        im[k] = g.term.imag();
        turnRe[k] = g.turn.real();
        turnIm[k] = g.turn.imag();
    }
    for (Complex& value : z) {
        double sumRe = value.real();
        double sumIm = value.imag();
        for (std::size_t k = 0; k < G; ++k) {
            sumRe += re[k];
            sumIm += im[k];
            const double nextRe = re[k] * turnRe[k] - im[k] * turnIm[k];
            const double nextIm = re[k] * turnIm[k] + im[k] * turnRe[k];
            re[k] = nextRe;
            im[k] = nextIm;
        }
        value = Complex(sumRe, sumIm);
    }
}

// The envelope's power on the grid, each tone turned step by step (one
// complex product per tone and lag).
double bestOnGrid(std::span<const StartPhase> tones, double reach, double step) {
    const auto points = static_cast<std::size_t>(std::floor(2.0 * reach / step)) + 1;
    std::vector<Complex> z(points);
    std::size_t next = 0;
    for (; next + kTonesAtOnce <= tones.size(); next += kTonesAtOnce)
        addTones<kTonesAtOnce>(tones.data() + next, reach, step, z);
    for (; next < tones.size(); ++next) addTones<1>(tones.data() + next, reach, step, z);
    std::size_t best = 0;
    for (std::size_t i = 1; i < points; ++i)
        if (std::norm(z[i]) > std::norm(z[best])) best = i;
    return -reach + static_cast<double>(best) * step;
}

// Newton's method on the envelope's power, kept within a grid step of the
// grid's best lag (where the peak must lie).
double refinedPeak(std::span<const StartPhase> tones, double start, double step) {
    double s = start;
    for (int i = 0; i < kNewtonSteps; ++i) {
        const Envelope e = envelopeAt(tones, s);
        const double curvature = e.curvature();
        if (!(curvature < 0.0)) break;
        const double next = std::clamp(s - e.slope() / curvature, start - step, start + step);
        if (std::fabs(next - s) < 1e-9) return next;
        s = next;
    }
    return s;
}

// ds/dphase_k from the peak's two conditions, sum w sin(psi) 2 pi nu = 0 and
// sum w sin(psi) = 0 with psi = phase + 2 pi nu s - arg Z (implicit function
// theorem); through them the tones' noise and the clock ratio's error.
struct Sensitivity {
    double sigma = 0.0;
    double ratio = 0.0;
};

Sensitivity shiftSensitivity(std::span<const StartPhase> tones, double s) {
    const double angle = std::arg(envelopeAt(tones, s).z);
    double a = 0.0, b = 0.0, d = 0.0;
    for (const StartPhase& t : tones) {
        const double omega = kTwoPi * t.cyclesPerSample;
        const double wc = t.weight * std::cos(t.phase + omega * s - angle);
        a += wc * omega * omega;
        b += wc * omega;
        d += wc;
    }
    const double det = a * d - b * b;
    if (!(det > 0.0)) return {std::numeric_limits<double>::infinity(), 0.0};
    double variance = 0.0, ratio = 0.0;
    for (const StartPhase& t : tones) {
        const double omega = kTwoPi * t.cyclesPerSample;
        const double wc = t.weight * std::cos(t.phase + omega * s - angle);
        const double derivative = wc * (b - d * omega) / det;
        variance += derivative * derivative * t.sigma * t.sigma;
        ratio += derivative * omega * t.time;
    }
    return {std::sqrt(variance), ratio};
}

}  // namespace

OriginShift originShift(std::span<const StartPhase> tones, double reach) {
    OriginShift result;
    if (tones.size() < 2 || !(reach > 0.0)) return result;
    const double step = gridStep(tones);
    const double s = refinedPeak(tones, bestOnGrid(tones, reach, step), step);
    const Sensitivity sensitivity = shiftSensitivity(tones, s);
    if (!std::isfinite(sensitivity.sigma)) return result;
    result.valid = true;
    result.shift = s;
    result.sigma = sensitivity.sigma;
    result.ratioSensitivity = sensitivity.ratio;
    double weights = 0.0;
    for (const StartPhase& t : tones) weights += t.weight;
    result.coherence = weights > 0.0 ? std::abs(envelopeAt(tones, s).z) / weights : 0.0;
    return result;
}

std::optional<StartPhase> tonePhase(const ClockCorrectedTone& tone, double trialOrigin, double sampleRate) {
    const HarmonicFit& fit = tone.fit;
    const double dof = static_cast<double>(fit.count) - fit.parameters();
    if (!fit.valid || dof < 1.0 || !(tone.amplitude > 0.0)) return std::nullopt;
    const double residualVariance = fit.residualSquares / dof;
    const double sigma = std::sqrt(2.0 * residualVariance / static_cast<double>(fit.count)) / tone.amplitude;
    if (!(sigma <= kMaxOriginPhaseSigma)) return std::nullopt;
    const double time = tone.blockStart + tone.blockLead + 0.5 * tone.blockLength - trialOrigin;
    return StartPhase{tone.fittedFrequency / sampleRate, tone.amplitude, tone.phase, sigma, time};
}

std::vector<StartPhase> tonePhases(const std::vector<ClockCorrectedTone>& tones, double trialOrigin, double sampleRate) {
    std::vector<StartPhase> phases;
    for (const ClockCorrectedTone& tone : tones)
        if (const std::optional<StartPhase> phase = tonePhase(tone, trialOrigin, sampleRate)) phases.push_back(*phase);
    return phases;
}

}  // namespace auralyn::analysis
