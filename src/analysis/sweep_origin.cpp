#include "analysis/sweep_origin.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "analysis/angles.h"
#include "analysis/origin_grid.h"

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

// A tone as the grid search takes it: its terms at the grid's first lags,
// each the one before turned by one step, and its turn over kGridLanes steps.
GridTone gridTone(const StartPhase& t, double reach, double step) {
    const double omega = kTwoPi * t.cyclesPerSample;
    const Complex turn = std::polar(1.0, omega * step);
    Complex term = t.weight * std::polar(1.0, t.phase - omega * reach);
    GridTone g;
    for (std::size_t lane = 0; lane < kGridLanes; ++lane) {
        g.re[lane] = term.real();
        g.im[lane] = term.imag();
        term *= turn;
    }
    const Complex lanesTurn = std::polar(1.0, omega * step * static_cast<double>(kGridLanes));
    g.turnRe = lanesTurn.real();
    g.turnIm = lanesTurn.imag();
    return g;
}

// The envelope's power on the grid (origin_grid.h); the first lag of the
// greatest wins.
double bestOnGrid(std::span<const StartPhase> tones, double reach, double step) {
    const auto points = static_cast<std::size_t>(std::floor(2.0 * reach / step)) + 1;
    std::vector<GridTone> grid;
    grid.reserve(tones.size());
    for (const StartPhase& t : tones) grid.push_back(gridTone(t, reach, step));
    const std::size_t chunks = (points + kGridLanes - 1) / kGridLanes;
    std::vector<double> re(chunks * kGridLanes, 0.0), im(chunks * kGridLanes, 0.0);
    sumGridTones(grid.data(), grid.size(), chunks, re.data(), im.data());
    std::size_t best = 0;
    double bestPower = -1.0;
    for (std::size_t i = 0; i < points; ++i) {
        const double power = re[i] * re[i] + im[i] * im[i];
        if (power > bestPower) {
            best = i;
            bestPower = power;
        }
    }
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
