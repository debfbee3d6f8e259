#include "impedance/fit_start.h"

#include <algorithm>
#include <cmath>

#include "impedance/estimate.h"

namespace auralyn::impedance {
namespace {

double leastResistance(const ImpedanceCurve& curve) {
    double least = INFINITY;
    for (const ImpedancePoint& p : curve) least = std::min(least, p.ohms.real());
    return least;
}

// The tone of the resonance: the largest resistance among the tones where
// the phase falls through zero; the largest resistance overall without one.
std::size_t resonanceTone(const ImpedanceCurve& curve) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i + 1 < curve.size(); ++i) {
        const bool falls = curve[i].ohms.imag() >= 0.0 && curve[i + 1].ohms.imag() < 0.0;
        if (!falls) continue;
        const std::size_t peak = curve[i].ohms.real() >= curve[i + 1].ohms.real() ? i : i + 1;
        if (!best || curve[peak].ohms.real() > curve[*best].ohms.real()) best = peak;
    }
    if (best) return *best;
    std::size_t peak = 0;
    for (std::size_t i = 1; i < curve.size(); ++i)
        if (curve[i].ohms.real() > curve[peak].ohms.real()) peak = i;
    return peak;
}

// The half-power width of the motional peak in the resistance: Qms from it.
double peakQ(const ImpedanceCurve& curve, std::size_t peak, double re) {
    const double top = curve[peak].ohms.real() - re;
    std::size_t low = peak;
    std::size_t high = peak;
    while (low > 0 && curve[low].ohms.real() - re > top / 2.0) --low;
    while (high + 1 < curve.size() && curve[high].ohms.real() - re > top / 2.0) ++high;
    const double width = curve[high].frequency - curve[low].frequency;
    if (!(width > 0.0)) return 5.0;
    return std::clamp(curve[peak].frequency / width, 0.2, 100.0);
}

}  // namespace

std::optional<DriverModel> startingModel(const ImpedanceCurve& curve, std::optional<double> re) {
    if (curve.size() < 3) return std::nullopt;
    DriverModel d;
    d.re = re ? *re : leastResistance(curve);
    if (!(d.re > 0.0)) d.re = 0.5 * std::abs(curve.front().ohms);
    if (!(d.re > 0.0)) return std::nullopt;
    const std::size_t peak = resonanceTone(curve);
    d.fs = curve[peak].frequency;
    d.res = curve[peak].ohms.real() - d.re;
    if (!(d.res > 0.01 * d.re)) return std::nullopt;
    d.qms = peakQ(curve, peak, d.re);
    const ImpedancePoint& top = curve.back();
    d.le = std::max(top.ohms.imag() / (2.0 * kPi * top.frequency), 1e-6);
    return d;
}

}  // namespace auralyn::impedance
