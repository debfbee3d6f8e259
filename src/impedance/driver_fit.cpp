#include "impedance/driver_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "impedance/fit_start.h"
#include "impedance/least_squares.h"

namespace auralyn::impedance {
namespace {

// Where each parameter sits in the fit's vector; all are fitted as natural
// logarithms, so that none can turn zero or negative.
struct Layout {
    std::optional<double> fixedRe;
    bool lossy = false;
    std::size_t size() const { return (fixedRe ? 4 : 5) + (lossy ? 2 : 0); }
};

DriverModel modelFrom(const std::vector<double>& theta, const Layout& layout) {
    std::size_t i = 0;
    DriverModel d;
    d.re = layout.fixedRe ? *layout.fixedRe : std::exp(theta[i++]);
    d.fs = std::exp(theta[i++]);
    d.qms = std::exp(theta[i++]);
    d.res = std::exp(theta[i++]);
    d.le = std::exp(theta[i++]);
    if (layout.lossy) {
        d.l2 = std::exp(theta[i++]);
        d.r2 = std::exp(theta[i++]);
    }
    return d;
}

std::vector<double> thetaFrom(const DriverModel& d, const Layout& layout) {
    std::vector<double> theta;
    if (!layout.fixedRe) theta.push_back(std::log(d.re));
    for (double v : {d.fs, d.qms, d.res, d.le}) theta.push_back(std::log(v));
    if (layout.lossy) {
        theta.push_back(std::log(d.l2));
        theta.push_back(std::log(d.r2));
    }
    return theta;
}

// Standard deviations of ln|Z| and of the phase from the tones' 95 %
// intervals; a curve without intervals weighs every tone alike (1 %, 0.01 rad).
struct Weights {
    std::vector<double> magnitude;
    std::vector<double> phase;
    bool fromIntervals = true;
};

Weights weightsOf(const ImpedanceCurve& curve) {
    Weights w;
    w.fromIntervals = std::any_of(curve.begin(), curve.end(), [](const ImpedancePoint& p) { return p.magnitudeU95 > 0.0; });
    for (const ImpedancePoint& p : curve) {
        double magnitude = 0.01;
        double phase = 0.01;
        if (w.fromIntervals) {
            // Floors keep a tone whose interval rounded to zero from owning the fit.
            magnitude = std::max(p.magnitudeU95 / std::abs(p.ohms) / kCoverage95, 1e-6);
            phase = std::max(p.phaseU95Deg * kPi / 180.0 / kCoverage95, 1e-6);
        }
        w.magnitude.push_back(magnitude);
        w.phase.push_back(phase);
    }
    return w;
}

ResidualFunction residualsFor(const ImpedanceCurve& curve, const Weights& w, const Layout& layout) {
    return [&curve, &w, layout](const std::vector<double>& theta, std::vector<double>& r) {
        const DriverModel d = modelFrom(theta, layout);
        r.clear();
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const std::complex<double> z = driverImpedance(d, curve[i].frequency);
            if (!(std::abs(z) > 0.0)) return false;
            r.push_back((std::log(std::abs(z)) - std::log(std::abs(curve[i].ohms))) / w.magnitude[i]);
            r.push_back(std::remainder(std::arg(z) - std::arg(curve[i].ohms), 2.0 * kPi) / w.phase[i]);
        }
        return true;
    };
}

struct Attempt {
    LeastSquaresFit fit;
    Layout layout;
};

Attempt attempt(const ImpedanceCurve& curve, const Weights& w, const Layout& layout, const DriverModel& start) {
    return {fitLeastSquares(residualsFor(curve, w, layout), thetaFrom(start, layout)), layout};
}

// The lossy coil from the lossless fit: part of Le moves into L2, with R2's
// corner tried at a few frequencies; the best fit that converges wins.
std::optional<Attempt> lossyAttempt(const ImpedanceCurve& curve, const Weights& w, const Attempt& lossless) {
    Layout layout = lossless.layout;
    layout.lossy = true;
    std::optional<Attempt> best;
    for (double corner : {300.0, 3000.0, 20000.0}) {
        DriverModel start = modelFrom(lossless.fit.parameters, lossless.layout);
        start.l2 = start.le;
        start.le *= 0.5;
        start.r2 = 2.0 * kPi * corner * start.l2;
        Attempt a = attempt(curve, w, layout, start);
        if (a.fit.converged && (!best || a.fit.chiSquare < best->fit.chiSquare)) best = a;
    }
    return best;
}

double degreesOfFreedom(const Attempt& a) {
    return static_cast<double>(a.fit.residualCount) - static_cast<double>(a.layout.size());
}

// A lossless fit whose residual is the tones' noise (chi-square per degree
// of freedom within two of its standard deviations, sqrt(2 / dof), of 1)
// leaves nothing for the lossy coil to explain.
bool withinNoise(const Attempt& a, bool weighted) {
    const double dof = degreesOfFreedom(a);
    return weighted && a.fit.chiSquare / dof <= 1.0 + 2.0 * std::sqrt(2.0 / dof);
}

// F-test of the two added parameters against the lossy fit's residual.
bool lossyExplainsMore(const Attempt& lossless, const Attempt& lossy) {
    const double perDof = lossy.fit.chiSquare / degreesOfFreedom(lossy);
    if (!(perDof > 0.0)) return lossy.fit.chiSquare < lossless.fit.chiSquare;
    return (lossless.fit.chiSquare - lossy.fit.chiSquare) / 2.0 / perDof > 10.0;
}

using Derived = std::function<double(const DriverModel&)>;

std::vector<double> gradientOf(const Derived& g, const std::vector<double>& theta, const Layout& layout) {
    std::vector<double> gradient(theta.size());
    for (std::size_t j = 0; j < theta.size(); ++j) {
        const double step = 1e-6;
        std::vector<double> up = theta;
        std::vector<double> down = theta;
        up[j] += step;
        down[j] -= step;
        gradient[j] = (g(modelFrom(up, layout)) - g(modelFrom(down, layout))) / (2.0 * step);
    }
    return gradient;
}

double quadraticForm(const std::vector<double>& a, const std::vector<double>& c, const std::vector<double>& b) {
    const std::size_t n = a.size();
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) sum += a[i] * c[i * n + j] * b[j];
    return sum;
}

struct Propagation {
    const std::vector<double>& theta;
    const std::vector<double>& covariance;
    const Layout& layout;

    Estimate of(const Derived& g) const {
        const std::vector<double> gradient = gradientOf(g, theta, layout);
        const double variance = quadraticForm(gradient, covariance, gradient);
        return {g(modelFrom(theta, layout)), kCoverage95 * std::sqrt(std::max(variance, 0.0))};
    }
};

// Without intervals the residual itself is the only measure of the noise:
// the covariance scales by chi-square per degree of freedom either way.
std::vector<double> scaledCovariance(const LeastSquaresFit& fit, double chiSquarePerDof, bool weighted) {
    std::vector<double> c = fit.covariance;
    const double birge = weighted ? std::max(1.0, chiSquarePerDof) : chiSquarePerDof;
    for (double& v : c) v *= birge;
    return c;
}

void fillEstimates(DriverFit& out, const Attempt& a) {
    const std::vector<double> c = scaledCovariance(a.fit, out.chiSquarePerDof, out.weighted);
    const Propagation p{a.fit.parameters, c, a.layout};
    out.re = p.of([](const DriverModel& d) { return d.re; });
    out.fs = p.of([](const DriverModel& d) { return d.fs; });
    out.qms = p.of([](const DriverModel& d) { return d.qms; });
    out.qes = p.of([](const DriverModel& d) { return d.qes(); });
    out.qts = p.of([](const DriverModel& d) { return d.qts(); });
    out.res = p.of([](const DriverModel& d) { return d.res; });
    out.le = p.of([](const DriverModel& d) { return d.le; });
    out.l2 = p.of([](const DriverModel& d) { return d.l2; });
    out.r2 = p.of([](const DriverModel& d) { return d.r2; });
    out.leAt1k = p.of([](const DriverModel& d) { return inductanceAt(d, 1000.0); });
    const std::vector<Derived> core = {[](const DriverModel& d) { return std::log(d.re); },
                                       [](const DriverModel& d) { return std::log(d.fs); },
                                       [](const DriverModel& d) { return std::log(d.qms); },
                                       [](const DriverModel& d) { return std::log(d.qes()); }};
    std::vector<std::vector<double>> gradients;
    for (const Derived& g : core) gradients.push_back(gradientOf(g, a.fit.parameters, a.layout));
    out.coreCovariance.assign(16, 0.0);
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 4; ++j) out.coreCovariance[i * 4 + j] = quadraticForm(gradients[i], c, gradients[j]);
}

// How far the residual may exceed the tones' noise: chi-square per degree of
// freedom up to 2 is a good fit (the model holds within about 1.4 times the
// noise), up to 100 (ten times the noise) a poor one, beyond that no fit.
constexpr double kGoodChiSquare = 2.0;
constexpr double kFailedChiSquare = 100.0;
// Without intervals the residual's RMS of ln|Z| and phase (radians) judges:
// 2 % good, 10 % poor.
constexpr double kGoodRms = 0.02;
constexpr double kFailedRms = 0.10;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", v);
    return text;
}

void judge(DriverFit& out, const ImpedanceCurve& curve) {
    const double lowest = curve.front().frequency;
    const double highest = curve.back().frequency;
    const double misfit = out.weighted ? out.chiSquarePerDof : std::sqrt(out.chiSquarePerDof) * 0.01;
    const double good = out.weighted ? kGoodChiSquare : kGoodRms;
    const double failed = out.weighted ? kFailedChiSquare : kFailedRms;
    const std::string residual = out.weighted ? "chi-square per degree of freedom " + number(misfit)
                                              : "RMS residual " + number(100.0 * misfit) + " %";
    out.verdict = FitVerdict::Good;
    if (!(out.fs.value > lowest && out.fs.value < highest)) {
        out.verdict = FitVerdict::Failed;
        out.reason = "the resonance (" + number(out.fs.value) + " Hz) lies outside the measured tones";
    } else if (!(out.qms.value > 0.05 && out.qms.value < 1000.0) || !(out.qes.value > 0.01 && out.qes.value < 1000.0)) {
        out.verdict = FitVerdict::Failed;
        out.reason = "no resonance of a driver in this curve (Qms " + number(out.qms.value) + ", Qes " +
                     number(out.qes.value) + ")";
    } else if (misfit > failed) {
        out.verdict = FitVerdict::Failed;
        out.reason = "the model leaves a residual far above the tones' noise (" + residual + ")";
    } else if (misfit > good) {
        out.verdict = FitVerdict::Poor;
        out.reason = "the model leaves a residual above the tones' noise (" + residual + ")";
    } else if (!(out.fs.u95 < 0.2 * out.fs.value && out.qts.u95 < 0.5 * out.qts.value)) {
        out.verdict = FitVerdict::Poor;
        out.reason = "the tones leave fs or Qts uncertain (too few tones near the resonance, or too much noise)";
    }
}

}  // namespace

DriverFit fitDriver(const ImpedanceCurve& curve, const FitOptions& options) {
    DriverFit out;
    if (curve.size() < 8) {
        out.reason = "too few tones to fit (" + std::to_string(curve.size()) + "; at least 8)";
        return out;
    }
    const Weights w = weightsOf(curve);
    out.weighted = w.fromIntervals;
    const std::optional<DriverModel> start = startingModel(curve, options.re);
    if (!start) {
        out.reason = "no resonance of a driver in this curve";
        return out;
    }
    Layout layout;
    layout.fixedRe = options.re;
    Attempt best = attempt(curve, w, layout, *start);
    if (!best.fit.converged) {
        out.reason = best.fit.failure;
        return out;
    }
    if (!withinNoise(best, w.fromIntervals)) {
        const std::optional<Attempt> lossy = lossyAttempt(curve, w, best);
        if (lossy && lossyExplainsMore(best, *lossy)) best = *lossy;
    }
    out.model = modelFrom(best.fit.parameters, best.layout);
    out.degreesOfFreedom = static_cast<std::size_t>(degreesOfFreedom(best));
    out.chiSquarePerDof = best.fit.chiSquare / degreesOfFreedom(best);
    fillEstimates(out, best);
    judge(out, curve);
    return out;
}

const char* verdictName(FitVerdict verdict) {
    switch (verdict) {
        case FitVerdict::Good: return "good";
        case FitVerdict::Poor: return "poor";
        case FitVerdict::Failed: return "failed";
    }
    return "failed";
}

}  // namespace auralyn::impedance
