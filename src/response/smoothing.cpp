#include "response/smoothing.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <string>

namespace auralyn::response {
namespace {

std::vector<double> logFrequencies(const Response& response) {
    std::vector<double> l;
    l.reserve(response.tones.size());
    for (const Tone& tone : response.tones) l.push_back(std::log2(tone.frequency));
    return l;
}

// Slopes of a curve at its points: the three-point derivative for uneven
// spacing inside, one-sided at the ends.
std::vector<double> slopesOf(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t n = x.size();
    std::vector<double> d(n);
    const auto secant = [&](std::size_t a) { return (y[a + 1] - y[a]) / (x[a + 1] - x[a]); };
    d[0] = secant(0);
    d[n - 1] = secant(n - 2);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double before = x[i] - x[i - 1], after = x[i + 1] - x[i];
        d[i] = (secant(i - 1) * after + secant(i) * before) / (before + after);
    }
    return d;
}

// A point on the log-frequency axis: the interval of the curve it lies in
// and how far along, or before or after the whole curve.
struct Place {
    std::size_t interval = 0;
    double fraction = 0.0;
    bool before = false, after = false;
};

Place placeOf(const std::vector<double>& at, double x) {
    if (x <= at.front()) return {0, 0.0, true, false};
    if (x >= at.back()) return {0, 0.0, false, true};
    const std::size_t k = static_cast<std::size_t>(std::upper_bound(at.begin(), at.end(), x) - at.begin()) - 1;
    return {k, (x - at[k]) / (at[k + 1] - at[k]), false, false};
}

// Running integral over log2 frequency of the cubic Hermite curve through
// the tones (values and the slopes above), so that any window's integral
// costs two look-ups. To first order each tone weighs the span of log
// frequency halfway to its neighbours; the cubic makes the integral of a
// smooth response accurate to the fourth order in the tone spacing instead
// of the second (a stepwise or straight-line curve under-reads the peaks of
// a comb filter by hundredths of a dB at 96 tones per octave).
class CurveIntegral {
public:
    CurveIntegral(const std::vector<double>& at, std::vector<double> values)
        : at_(at), values_(std::move(values)), slopes_(slopesOf(at_, values_)), prefix_(at.size(), 0.0) {
        for (std::size_t k = 0; k + 1 < at_.size(); ++k) prefix_[k + 1] = prefix_[k] + partial(k, 1.0);
    }

    double upTo(const Place& place) const {
        if (place.before) return 0.0;
        if (place.after) return prefix_.back();
        return prefix_[place.interval] + partial(place.interval, place.fraction);
    }

    double over(const Place& from, const Place& to) const { return upTo(to) - upTo(from); }

private:
    // The integral over the first fraction t of interval k, from the
    // integrals of the four Hermite basis functions.
    double partial(std::size_t k, double t) const {
        const double h = at_[k + 1] - at_[k];
        const double t2 = t * t, t3 = t2 * t, t4 = t3 * t;
        const double i00 = t - t3 + t4 / 2.0, i10 = t2 / 2.0 - 2.0 * t3 / 3.0 + t4 / 4.0;
        const double i01 = t3 - t4 / 2.0, i11 = -t3 / 3.0 + t4 / 4.0;
        return h * (values_[k] * i00 + h * slopes_[k] * i10 + values_[k + 1] * i01 + h * slopes_[k + 1] * i11);
    }

    const std::vector<double>& at_;
    std::vector<double> values_;
    std::vector<double> slopes_;
    std::vector<double> prefix_;
};

double widthAt(const Smoothing& smoothing, double frequency) {
    return smoothing.variable ? variableWidthOctaves(frequency) : 1.0 / smoothing.fraction;
}

void checkWidths(const Response& response, const Smoothing& smoothing, const std::vector<double>& l) {
    if (!smoothing.variable && (smoothing.fraction < 1 || smoothing.fraction > 96))
        throw Error("smoothing must be 1/N octave with N from 1 to 96, not 1/" + std::to_string(smoothing.fraction));
    const double curve = l.back() - l.front();
    for (const Tone& tone : response.tones) {
        if (widthAt(smoothing, tone.frequency) > curve) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "the smoothing window (%.3g octaves at %.6g Hz) is wider than the whole curve (%.3g octaves)",
                          widthAt(smoothing, tone.frequency), tone.frequency, curve);
            throw Error(text);
        }
    }
}

// The phase nearest `reference` that points where `value` does, so that the
// smoothed phase stays on the tone's own turn.
double phaseNear(std::complex<double> value, double reference) {
    return reference + std::remainder(std::arg(value) - reference, 2.0 * kPi);
}

}  // namespace

double variableWidthOctaves(double frequency) {
    constexpr double narrow = 1.0 / 48.0, wide = 1.0 / 3.0;
    if (frequency <= 100.0) return narrow;
    if (frequency >= 10000.0) return wide;
    const double along = std::log10(frequency / 100.0) / 2.0;  // 0 at 100 Hz, 1 at 10 kHz
    return narrow * std::pow(wide / narrow, along);
}

Response smooth(const Response& response, const Smoothing& smoothing) {
    const std::vector<double> l = logFrequencies(response);
    checkWidths(response, smoothing, l);
    const std::size_t n = response.tones.size();
    std::vector<double> power(n), db(n), re(n), im(n), one(n, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
        const Tone& tone = response.tones[i];
        power[i] = tone.magnitude * tone.magnitude;
        db[i] = tone.magnitudeDb();
        re[i] = tone.value().real();
        im[i] = tone.value().imag();
    }
    const CurveIntegral width(l, one), powerSum(l, power), dbSum(l, db), reSum(l, re), imSum(l, im);
    const SmoothingMode mode = smoothing.variable ? SmoothingMode::power : smoothing.mode;
    Response out = response;
    for (Tone& tone : out.tones) {
        const double half = widthAt(smoothing, tone.frequency) / 2.0;
        const double low = std::log2(tone.frequency) - half, high = std::log2(tone.frequency) + half;
        const Place from = placeOf(l, low), to = placeOf(l, high);
        const double covered = width.over(from, to);
        if (low < l.front() || high > l.back()) tone.flags |= kWindowCut;
        if (mode == SmoothingMode::power) {
            tone.magnitude = std::sqrt(powerSum.over(from, to) / covered);
        } else if (mode == SmoothingMode::db) {
            tone.magnitude = fromDecibels(dbSum.over(from, to) / covered);
        } else {
            const std::complex<double> mean(reSum.over(from, to) / covered, imSum.over(from, to) / covered);
            if (!(std::abs(mean) > 0.0)) throw Error("complex smoothing cancels the response to nothing at " +
                                                     std::to_string(tone.frequency) + " Hz");
            tone.magnitude = std::abs(mean);
            tone.phase = phaseNear(mean, tone.phase);
        }
    }
    return out;
}

}  // namespace auralyn::response
