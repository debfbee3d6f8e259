#include "calibration/cal_interpolation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace auralyn::calibration {
namespace {

double wrappedDegrees(double degrees) {
    double wrapped = std::remainder(degrees, 360.0);
    if (wrapped <= -180.0) wrapped += 360.0;
    return wrapped;
}

double logFrequency(const CalCurve& curve, std::size_t index) { return std::log(curve.points[index].frequencyHz); }

// The second derivative of dB against log frequency at an inner row, from
// the divided differences of it and its neighbours; 0 at the ends.
double curvatureAt(const CalCurve& curve, std::size_t index) {
    if (index == 0 || index + 1 >= curve.points.size()) return 0.0;
    const double x0 = logFrequency(curve, index - 1), x1 = logFrequency(curve, index), x2 = logFrequency(curve, index + 1);
    const double y0 = curve.points[index - 1].db, y1 = curve.points[index].db, y2 = curve.points[index + 1].db;
    const double slopeBelow = (y1 - y0) / (x1 - x0);
    const double slopeAbove = (y2 - y1) / (x2 - x1);
    return 2.0 * (slopeAbove - slopeBelow) / (x2 - x0);
}

// The error of a straight line between two rows of a smooth curve is at most
// t (1 - t) h^2 |y''| / 2 at the fraction t of the interval of width h (the
// remainder of linear interpolation). y'' between the rows is unknown; the
// largest curvature the rows from one before to one after the interval show,
// half as much again, stands for it: the rows sample the curvature only where
// they are, and its peak between them can exceed what they show (by up to a
// tenth for a shelf sampled at three rows a decade). Dense tables make the
// bound vanish.
double interpolationBound(const CalCurve& curve, std::size_t below, double t) {
    const double width = logFrequency(curve, below + 1) - logFrequency(curve, below);
    double curvature = 0.0;
    for (std::size_t row = below == 0 ? 0 : below - 1; row <= below + 2 && row < curve.points.size(); ++row) {
        curvature = std::max(curvature, std::abs(curvatureAt(curve, row)));
    }
    constexpr double kUnseenCurvature = 1.5;
    return t * (1.0 - t) * width * width * kUnseenCurvature * curvature / 2.0;
}

std::optional<double> phaseBetween(const CalPoint& low, const CalPoint& high, double t) {
    if (!low.phaseDeg || !high.phaseDeg) return std::nullopt;
    const double step = wrappedDegrees(*high.phaseDeg - *low.phaseDeg);
    return wrappedDegrees(*low.phaseDeg + t * step);
}

double pointStandard(const CalPoint& low, const CalPoint& high, double t) {
    // A certificate's expanded uncertainty is stated for k = 2.
    const double low95 = low.u95Db.value_or(0.0), high95 = high.u95Db.value_or(0.0);
    return ((1.0 - t) * low95 + t * high95) / 2.0;
}

}  // namespace

std::optional<CalValue> responseAt(const CalCurve& curve, double frequencyHz, bool invert) {
    if (curve.points.size() < 2 || !(frequencyHz >= curve.points.front().frequencyHz) ||
        !(frequencyHz <= curve.points.back().frequencyHz)) {
        return std::nullopt;
    }
    const auto above = std::upper_bound(curve.points.begin(), curve.points.end(), frequencyHz,
                                        [](double f, const CalPoint& p) { return f < p.frequencyHz; });
    const std::size_t below =
        std::min(static_cast<std::size_t>(above - curve.points.begin()), curve.points.size() - 1) - 1;
    const CalPoint& low = curve.points[below];
    const CalPoint& high = curve.points[below + 1];
    const double t = std::clamp((std::log(frequencyHz) - std::log(low.frequencyHz)) /
                                    (std::log(high.frequencyHz) - std::log(low.frequencyHz)),
                                0.0, 1.0);
    CalValue value;
    value.db = (1.0 - t) * low.db + t * high.db;
    value.phaseDeg = phaseBetween(low, high, t);
    value.interpolationHalfWidthDb = interpolationBound(curve, below, t);
    value.pointStandardDb = pointStandard(low, high, t);
    if (invert) {
        value.db = -value.db;
        if (value.phaseDeg) value.phaseDeg = wrappedDegrees(-*value.phaseDeg);
    }
    return value;
}

std::string rangeText(const CalCurve& curve) {
    if (curve.points.empty()) return "no range";
    char text[96];
    std::snprintf(text, sizeof text, "%.6g Hz .. %.6g Hz", curve.points.front().frequencyHz,
                  curve.points.back().frequencyHz);
    return text;
}

}  // namespace auralyn::calibration
