#include "plot/plot_axes.h"

#include <algorithm>
#include <cmath>

#include "platform/printed.h"

namespace auralyn::plot {
namespace {

constexpr int kMaxGridLines = 10;
constexpr double kDegreeSteps[] = {15.0, 30.0, 45.0, 90.0, 180.0, 360.0, 720.0};

double niceStep(double span, bool degrees) {
    if (degrees) {
        for (double step : kDegreeSteps) {
            if (span / step <= kMaxGridLines) return step;
        }
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(span / kMaxGridLines)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (span / (factor * magnitude) <= kMaxGridLines) return factor * magnitude;
    }
    return 10.0 * magnitude;
}

// The largest 1-2-5 value not above x (downward) or the smallest not below it.
double niceLogBound(double x, bool downward) {
    const double decade = std::pow(10.0, std::floor(std::log10(x)));
    const double mantissas[] = {1.0, 2.0, 5.0, 10.0};
    if (downward) {
        double best = decade;
        for (double m : mantissas) {
            if (m * decade <= x * (1.0 + 1e-12)) best = m * decade;
        }
        return best;
    }
    for (double m : mantissas) {
        if (m * decade >= x * (1.0 - 1e-12)) return m * decade;
    }
    return 10.0 * decade;
}

}  // namespace

LinearAxis linearAxisFor(double minimum, double maximum, double minimumSpan, bool degrees) {
    if (maximum - minimum < minimumSpan) {
        const double centre = (minimum + maximum) / 2.0;
        minimum = centre - minimumSpan / 2.0;
        maximum = centre + minimumSpan / 2.0;
    }
    // A little room at both ends keeps the curve off the frame.
    const double margin = 0.04 * (maximum - minimum);
    minimum -= margin;
    maximum += margin;
    const double step = niceStep(maximum - minimum, degrees);
    LinearAxis axis{std::floor(minimum / step) * step, std::ceil(maximum / step) * step, step};
    if (axis.high <= axis.low) axis.high = axis.low + step;
    return axis;
}

LogAxis logAxisFor(double minimum, double maximum) {
    if (maximum <= minimum * 1.2) {  // one tone, or a few close together
        minimum /= 1.5;
        maximum *= 1.5;
    }
    return {niceLogBound(minimum, true), niceLogBound(maximum, false)};
}

std::vector<FrequencyTick> frequencyTicks(const LogAxis& axis) {
    std::vector<FrequencyTick> ticks;
    const double decades = std::log10(axis.high / axis.low);
    const bool labelMinor = decades <= 4.5;
    const int first = static_cast<int>(std::floor(std::log10(axis.low)));
    const int last = static_cast<int>(std::ceil(std::log10(axis.high)));
    for (int exponent = first; exponent <= last; ++exponent) {
        const double decade = std::pow(10.0, exponent);
        for (int m = 1; m <= 9; ++m) {
            const double frequency = m * decade;
            if (frequency < axis.low * (1.0 - 1e-9) || frequency > axis.high * (1.0 + 1e-9)) continue;
            const bool labelled = m == 1 || (labelMinor && (m == 2 || m == 5));
            ticks.push_back({frequency, m == 1, labelled});
        }
    }
    return ticks;
}

std::string frequencyLabel(double frequency) {
    if (frequency >= 1000.0) return platform::printed("%gk", frequency / 1000.0);
    return platform::printed("%g", frequency);
}

}  // namespace auralyn::plot
