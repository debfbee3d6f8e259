#include "impedance/three_point.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace auralyn::impedance {
namespace {

struct Classic {
    double rmax = 0.0, f1 = 0.0, f2 = 0.0, fs = 0.0, qms = 0.0, qes = 0.0, qts = 0.0;
};

// The vertex of the parabola through three points (x in log frequency).
void parabolicPeak(const std::vector<double>& x, const std::vector<double>& y, std::size_t k, double& xPeak,
                   double& yPeak) {
    xPeak = x[k];
    yPeak = y[k];
    if (k == 0 || k + 1 >= x.size()) return;
    const double x0 = x[k - 1], x1 = x[k], x2 = x[k + 1];
    const double y0 = y[k - 1], y1 = y[k], y2 = y[k + 1];
    const double d1 = (y1 - y0) / (x1 - x0);
    const double d2 = (y2 - y1) / (x2 - x1);
    const double a = (d2 - d1) / (x2 - x0);
    if (!(a < 0.0)) return;
    const double b = d1 - a * (x0 + x1);
    const double vertex = -b / (2.0 * a);
    if (vertex < x0 || vertex > x2) return;
    xPeak = vertex;
    yPeak = y1 + (vertex - x1) * (b + a * (vertex + x1));
}

// Log frequency where the magnitudes cross `level` between tones i and j.
double crossing(const std::vector<double>& x, const std::vector<double>& y, std::size_t i, std::size_t j, double level) {
    return x[i] + (level - y[i]) * (x[j] - x[i]) / (y[j] - y[i]);
}

std::optional<Classic> classicOf(const std::vector<double>& logF, const std::vector<double>& magnitude, double re) {
    const std::size_t k = static_cast<std::size_t>(
        std::max_element(magnitude.begin(), magnitude.end()) - magnitude.begin());
    double logPeak = 0.0;
    Classic c;
    parabolicPeak(logF, magnitude, k, logPeak, c.rmax);
    const double r0 = c.rmax / re;
    if (!(r0 > 1.0)) return std::nullopt;
    const double level = re * std::sqrt(r0);
    std::size_t low = k;
    while (low > 0 && magnitude[low] > level) --low;
    std::size_t high = k;
    while (high + 1 < magnitude.size() && magnitude[high] > level) ++high;
    if (magnitude[low] > level || magnitude[high] > level || low == k || high == k) return std::nullopt;
    c.f1 = std::exp(crossing(logF, magnitude, low, low + 1, level));
    c.f2 = std::exp(crossing(logF, magnitude, high - 1, high, level));
    c.fs = std::sqrt(c.f1 * c.f2);
    c.qms = c.fs * std::sqrt(r0) / (c.f2 - c.f1);
    c.qes = c.qms / (r0 - 1.0);
    c.qts = c.qms * c.qes / (c.qms + c.qes);
    return c;
}

Estimate spread(const std::vector<double>& draws, double value) {
    double sum = 0.0;
    for (double d : draws) sum += (d - value) * (d - value);
    return {value, kCoverage95 * std::sqrt(sum / static_cast<double>(std::max<std::size_t>(draws.size(), 1)))};
}

constexpr int kDraws = 400;

Estimate widened(Estimate e, double error) { return {e.value, std::hypot(e.u95, error)}; }

// Reading peaks and crossings between tones errs by an amount that depends on
// the tones' spacing and the curve's shape: the method run on the fitted
// model at the same tones shows it, and it widens the intervals.
void addGridError(ThreePointResult& result, const std::vector<double>& logF, const DriverModel& model, double re) {
    std::vector<double> magnitude;
    for (double lf : logF) magnitude.push_back(std::abs(model.re + motionalImpedance(model, std::exp(lf))));
    const std::optional<Classic> c = classicOf(logF, magnitude, re);
    if (!c) return;
    result.fs = widened(result.fs, c->fs - model.fs);
    result.qms = widened(result.qms, c->qms - model.qms);
    result.qes = widened(result.qes, c->qes - model.qes());
    result.qts = widened(result.qts, c->qts - model.qts());
}

}  // namespace

ThreePointResult threePoint(const ImpedanceCurve& curve, const Estimate& re, const DriverModel* fittedCoil) {
    ThreePointResult result;
    std::vector<double> logF, magnitude, sigma;
    for (const ImpedancePoint& p : curve) {
        std::complex<double> z = p.ohms;
        if (fittedCoil != nullptr) z -= voiceCoilImpedance(*fittedCoil, p.frequency) - fittedCoil->re;
        logF.push_back(std::log(p.frequency));
        magnitude.push_back(std::abs(z));
        sigma.push_back(p.magnitudeU95 / kCoverage95);
    }
    const std::optional<Classic> nominal = classicOf(logF, magnitude, re.value);
    if (!nominal) {
        result.reason = "no peak of |Z| above Re with tones on both sides where it falls to Re sqrt(Rmax/Re)";
        return result;
    }
    std::mt19937_64 random(20261209);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::vector<double>> draws(7);
    std::vector<double> resampled(magnitude.size());
    for (int n = 0; n < kDraws; ++n) {
        for (std::size_t i = 0; i < magnitude.size(); ++i) resampled[i] = magnitude[i] + sigma[i] * normal(random);
        const double reDrawn = re.value + re.u95 / kCoverage95 * normal(random);
        const std::optional<Classic> c = classicOf(logF, resampled, reDrawn);
        if (!c) continue;
        for (std::size_t j = 0; const double v : {c->rmax, c->f1, c->f2, c->fs, c->qms, c->qes, c->qts})
            draws[j++].push_back(v);
    }
    result.found = true;
    result.rmax = spread(draws[0], nominal->rmax);
    result.f1 = spread(draws[1], nominal->f1);
    result.f2 = spread(draws[2], nominal->f2);
    result.fs = spread(draws[3], nominal->fs);
    result.qms = spread(draws[4], nominal->qms);
    result.qes = spread(draws[5], nominal->qes);
    result.qts = spread(draws[6], nominal->qts);
    if (fittedCoil != nullptr) addGridError(result, logF, *fittedCoil, re.value);
    return result;
}

std::optional<std::string> disagreement(const ThreePointResult& classic, const Estimate& fs, const Estimate& qms,
                                        const Estimate& qes) {
    if (!classic.found) return std::nullopt;
    // Beyond the two intervals combined, the three-point method's own
    // interpolation between tones is allowed 1 % (fs) and 3 % (the Q's).
    const auto differs = [](const Estimate& a, const Estimate& b, double allowance) {
        return std::abs(a.value - b.value) > std::hypot(a.u95, b.u95) + allowance * std::abs(b.value);
    };
    std::string names;
    if (differs(classic.fs, fs, 0.01)) names += " fs";
    if (differs(classic.qms, qms, 0.03)) names += " Qms";
    if (differs(classic.qes, qes, 0.03)) names += " Qes";
    if (names.empty()) return std::nullopt;
    return "the model does not fit this driver: the three-point method gives another" + names;
}

}  // namespace auralyn::impedance
