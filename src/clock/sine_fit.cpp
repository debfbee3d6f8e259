#include "clock/sine_fit.h"

#include <algorithm>
#include <cmath>

namespace auralyn::clock {
namespace {

constexpr int kLanes = 4;
// Samples between re-seeds of the recurrence from sin/cos of the exact angle.
constexpr std::int32_t kReseedSamples = 512;

// The sums of the normal equations of the three-parameter fit.
struct FitSums {
    double c = 0, s = 0, cc = 0, ss = 0, sc = 0, y = 0, yc = 0, ys = 0, yy = 0;
};

// Interleaved lanes: lane l holds the oscillator of samples l, l + 4, l + 8...
// so the loop body carries no dependency from one sample to the next.
struct LaneSums {
    double c[kLanes] = {}, s[kLanes] = {}, cc[kLanes] = {}, ss[kLanes] = {}, sc[kLanes] = {};
    double y[kLanes] = {}, yc[kLanes] = {}, ys[kLanes] = {}, yy[kLanes] = {};

    void add(int lane, double value, double cosine, double sine) {
        c[lane] += cosine;
        s[lane] += sine;
        cc[lane] += cosine * cosine;
        ss[lane] += sine * sine;
        sc[lane] += sine * cosine;
        y[lane] += value;
        yc[lane] += value * cosine;
        ys[lane] += value * sine;
        yy[lane] += value * value;
    }

    FitSums total() const {
        FitSums t;
        for (int l = 0; l < kLanes; ++l) {
            t.c += c[l], t.s += s[l], t.cc += cc[l], t.ss += ss[l], t.sc += sc[l];
            t.y += y[l], t.yc += yc[l], t.ys += ys[l], t.yy += yy[l];
        }
        return t;
    }
};

void accumulateStretch(LaneSums& sums, const std::int16_t* samples, std::int32_t count, double firstAngle,
                       double omega, double stepCos, double stepSin) {
    double cosine[kLanes], sine[kLanes];
    for (int l = 0; l < kLanes; ++l) {
        const double angle = firstAngle + omega * l;
        cosine[l] = std::cos(angle);
        sine[l] = std::sin(angle);
    }
    std::int32_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (int l = 0; l < kLanes; ++l) {
            sums.add(l, samples[i + l], cosine[l], sine[l]);
            const double nextCos = cosine[l] * stepCos - sine[l] * stepSin;
            sine[l] = sine[l] * stepCos + cosine[l] * stepSin;
            cosine[l] = nextCos;
        }
    }
    for (int l = 0; i + l < count; ++l) sums.add(l, samples[i + l], cosine[l], sine[l]);
}

FitSums accumulate(const std::int16_t* samples, std::int32_t count, double firstTime, double omega) {
    LaneSums lanes;
    const double stepCos = std::cos(omega * kLanes);
    const double stepSin = std::sin(omega * kLanes);
    for (std::int32_t start = 0; start < count; start += kReseedSamples) {
        const std::int32_t n = std::min(kReseedSamples, count - start);
        accumulateStretch(lanes, samples + start, n, omega * (firstTime + start), omega, stepCos, stepSin);
    }
    return lanes.total();
}

// Solves the symmetric 3x3 normal equations by Cramer's rule.
bool solve(const FitSums& m, double n, SineFit& fit) {
    const double a11 = m.cc, a12 = m.sc, a13 = m.c, a22 = m.ss, a23 = m.s, a33 = n;
    const double c11 = a22 * a33 - a23 * a23;
    const double c12 = a13 * a23 - a12 * a33;
    const double c13 = a12 * a23 - a13 * a22;
    const double det = a11 * c11 + a12 * c12 + a13 * c13;
    const double scale = a11 * a22 * a33;
    if (!(std::fabs(det) > 1e-9 * scale) || !(scale > 0.0)) return false;
    const double c22 = a11 * a33 - a13 * a13;
    const double c23 = a12 * a13 - a11 * a23;
    const double c33 = a11 * a22 - a12 * a12;
    fit.cosineCoefficient = (c11 * m.yc + c12 * m.ys + c13 * m.y) / det;
    fit.sineCoefficient = (c12 * m.yc + c22 * m.ys + c23 * m.y) / det;
    fit.offset = (c13 * m.yc + c23 * m.ys + c33 * m.y) / det;
    const double explained = fit.cosineCoefficient * m.yc + fit.sineCoefficient * m.ys + fit.offset * m.y;
    fit.residualSquares = std::max(0.0, m.yy - explained);
    return true;
}

}  // namespace

double SineFit::amplitude() const { return std::hypot(cosineCoefficient, sineCoefficient); }

double SineFit::phase() const {
    if (cosineCoefficient == 0.0 && sineCoefficient == 0.0) return 0.0;
    return std::atan2(cosineCoefficient, sineCoefficient);
}

SineFit fitSine(const std::int16_t* samples, std::int32_t count, double firstTime, double omega) {
    SineFit fit;
    fit.count = count;
    if (samples == nullptr || count < 3) return fit;
    fit.solved = solve(accumulate(samples, count, firstTime, omega), static_cast<double>(count), fit);
    return fit;
}

}  // namespace auralyn::clock
