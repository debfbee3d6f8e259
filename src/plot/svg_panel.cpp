#include "plot/svg_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace auralyn::plot {
namespace {

std::string valueLabel(double value) {
    if (std::fabs(value) < 1e-9) value = 0.0;  // no "-0"
    return format("%g", value);
}

constexpr double kBandOpacity = 0.2;

// An interval far wider than the panel is cut a panel's height beyond the
// frame (the clip hides the rest), so its coordinates stay short numbers.
double bandY(const Panel& panel, double value) {
    const double span = panel.axis.high - panel.axis.low;
    return yOf(panel, std::clamp(value, panel.axis.low - span, panel.axis.high + span));
}

}  // namespace

std::string format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

double xOf(const LogAxis& axis, double frequency) {
    return kPlotLeft + (kPlotRight - kPlotLeft) * std::log10(frequency / axis.low) / std::log10(axis.high / axis.low);
}

double yOf(const Panel& panel, double value) {
    return panel.bottom - (panel.bottom - panel.top) * (value - panel.axis.low) / (panel.axis.high - panel.axis.low);
}

void drawFrequencyGrid(std::string& svg, const LogAxis& axis, const Panel& panel, bool labels) {
    for (const FrequencyTick& tick : frequencyTicks(axis)) {
        const double x = xOf(axis, tick.frequency);
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"1\"/>\n", x,
                      panel.top, x, panel.bottom, tick.decade ? "#a0a0a0" : "#e0e0e0");
        if (labels && tick.labelled)
            svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"%d\">%s</text>\n", x,
                          panel.bottom + 18.0, tick.decade ? 13 : 11, frequencyLabel(tick.frequency).c_str());
    }
}

void drawValueGrid(std::string& svg, const Panel& panel) {
    const int lines = static_cast<int>(std::lround((panel.axis.high - panel.axis.low) / panel.axis.step));
    for (int i = 0; i <= lines; ++i) {
        const double value = panel.axis.low + i * panel.axis.step;
        const double y = yOf(panel, value);
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#d0d0d0\" stroke-width=\"1\"/>\n",
                      kPlotLeft, y, kPlotRight, y);
        svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\" font-size=\"12\">%s</text>\n", kPlotLeft - 6.0,
                      y + 4.0, valueLabel(value).c_str());
    }
    const double middle = (panel.top + panel.bottom) / 2.0;
    svg += format("<text class=\"panel-title\" x=\"24\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\" "
                  "transform=\"rotate(-90 24 %.2f)\">",
                  middle, middle) +
           panel.title + "</text>\n";
}

void drawFrame(std::string& svg, const Panel& panel) {
    svg += format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"#404040\"/>\n",
                  kPlotLeft, panel.top, kPlotRight - kPlotLeft, panel.bottom - panel.top);
}

void beginClipped(std::string& svg, const Panel& panel) {
    svg += format("<clipPath id=\"%s\"><rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\"/></clipPath>\n",
                  panel.clipId, kPlotLeft, panel.top, kPlotRight - kPlotLeft, panel.bottom - panel.top);
    svg += format("<g clip-path=\"url(#%s)\">\n", panel.clipId);
}

void endClipped(std::string& svg) { svg += "</g>\n"; }

std::string markerAt(Marker marker, double x, double y, double size, const char* colour, const char* pointClass) {
    switch (marker) {
        case Marker::Circle:
            return format("<circle class=\"%s\" cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n", pointClass, x, y,
                          size, colour);
        case Marker::Square:
            return format("<rect class=\"%s\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\"/>\n",
                          pointClass, x - size, y - size, 2.0 * size, 2.0 * size, colour);
        case Marker::Triangle:
            return format("<polygon class=\"%s\" points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f\" fill=\"%s\"/>\n",
                          pointClass, x, y - 1.3 * size, x - 1.2 * size, y + 0.9 * size, x + 1.2 * size,
                          y + 0.9 * size, colour);
        case Marker::Diamond:
            return format("<polygon class=\"%s\" points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f %.2f,%.2f\" fill=\"none\" "
                          "stroke=\"%s\" stroke-width=\"1\"/>\n",
                          pointClass, x, y - 1.4 * size, x + 1.4 * size, y, x, y + 1.4 * size, x - 1.4 * size, y,
                          colour);
    }
    return {};
}

void drawSeries(std::string& svg, const LogAxis& axis, const Panel& panel, const Series& series, const char* colour,
                const LineStyle& style, const char* pointClass, double markerSize, MarkerSpacing spacing) {
    std::string path;
    std::string markers;
    bool penDown = false;
    for (std::size_t i = 0; i < series.size(); ++i) {
        const std::optional<SeriesPoint>& point = series[i];
        if (!point) {
            penDown = false;
            continue;
        }
        const double x = xOf(axis, point->frequency);
        const double y = yOf(panel, point->value);
        path += format("%s%.2f,%.2f ", penDown ? "L" : "M", x, y);
        penDown = true;
        if (i >= spacing.first && (i - spacing.first) % spacing.every == 0)
            markers += markerAt(style.marker, x, y, markerSize, colour, pointClass);
    }
    if (!path.empty()) {
        svg += format("<path fill=\"none\" stroke-width=\"%.1f\" stroke=\"%s\"", style.width, colour);
        if (style.dashArray != nullptr) svg += format(" stroke-dasharray=\"%s\"", style.dashArray);
        svg += " d=\"" + path + "\"/>\n";
    }
    svg += markers;
}

namespace {

void drawBandRun(std::string& svg, const LogAxis& axis, const Panel& panel, const std::vector<BandPoint>& run,
                 const char* colour, const char* bandClass) {
    if (run.size() == 1) {
        const double x = xOf(axis, run[0].frequency);
        svg += format("<line class=\"%s\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
                      "stroke-width=\"4\" stroke-opacity=\"%.2f\"/>\n",
                      bandClass, x, bandY(panel, run[0].high), x, bandY(panel, run[0].low), colour, 2.0 * kBandOpacity);
        return;
    }
    std::string points;
    for (const BandPoint& p : run) points += format("%.2f,%.2f ", xOf(axis, p.frequency), bandY(panel, p.high));
    for (auto p = run.rbegin(); p != run.rend(); ++p)
        points += format("%.2f,%.2f ", xOf(axis, p->frequency), bandY(panel, p->low));
    points.pop_back();
    svg += format("<polygon class=\"%s\" fill=\"%s\" fill-opacity=\"%.2f\" stroke=\"none\" points=\"", bandClass,
                  colour, kBandOpacity) +
           points + "\"/>\n";
}

}  // namespace

void drawBand(std::string& svg, const LogAxis& axis, const Panel& panel, const Band& band, const char* colour,
              const char* bandClass) {
    std::vector<BandPoint> run;
    for (const std::optional<BandPoint>& point : band) {
        if (point) {
            run.push_back(*point);
            continue;
        }
        if (!run.empty()) drawBandRun(svg, axis, panel, run, colour, bandClass);
        run.clear();
    }
    if (!run.empty()) drawBandRun(svg, axis, panel, run, colour, bandClass);
}

}  // namespace auralyn::plot
