#include "echoplot/bode_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <functional>

#include "echoplot/plot_axes.h"
#include "echoplot/xml_text.h"

namespace auralyn::echoplot {
namespace {

constexpr double kWidth = 960.0;
constexpr double kLeft = 90.0;
constexpr double kRight = 930.0;

struct Panel {
    double top;
    double bottom;
    LinearAxis axis;
    const char* title;
    const char* pointClass;
};

// Colour-blind-safe and distinct on white; later curves reuse them dashed.
constexpr const char* kColours[] = {"#1f5fbf", "#c0392b", "#2a9d3a", "#e08a00",
                                    "#7b3fb0", "#17a2b8", "#8c564b", "#d6338a"};
constexpr std::size_t kColourCount = sizeof kColours / sizeof kColours[0];
constexpr double kLegendRowHeight = 20.0;
constexpr std::size_t kLegendColumns = 3;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

double xOf(const LogAxis& axis, double frequency) {
    return kLeft + (kRight - kLeft) * std::log10(frequency / axis.low) / std::log10(axis.high / axis.low);
}

double yOf(const Panel& panel, double value) {
    return panel.bottom - (panel.bottom - panel.top) * (value - panel.axis.low) / (panel.axis.high - panel.axis.low);
}

std::string valueLabel(double value) {
    if (std::fabs(value) < 1e-9) value = 0.0;  // no "-0"
    return format("%g", value);
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
                      kLeft, y, kRight, y);
        svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\" font-size=\"12\">%s</text>\n", kLeft - 6.0,
                      y + 4.0, valueLabel(value).c_str());
    }
    const double middle = (panel.top + panel.bottom) / 2.0;
    svg += format("<text x=\"24\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\" "
                  "transform=\"rotate(-90 24 %.2f)\">%s</text>\n",
                  middle, middle, panel.title);
}

// The curve through the drawable tones, broken where a tone cannot be drawn,
// with a marker on every tone.
void drawCurve(std::string& svg, const LogAxis& axis, const Panel& panel, const Curve& curve, std::size_t index,
               const std::function<double(const ResponsePoint&)>& value) {
    std::string path;
    std::string markers;
    const char* radius = curve.points.size() > 100 ? "1.6" : "2.5";  // dense sweeps would blot out the curve
    const char* colour = curveColour(index);
    bool penDown = false;
    for (const std::optional<ResponsePoint>& point : curve.points) {
        if (!point) {
            penDown = false;
            continue;
        }
        const double x = xOf(axis, point->frequency);
        const double y = yOf(panel, value(*point));
        path += format("%s%.2f,%.2f ", penDown ? "L" : "M", x, y);
        penDown = true;
        markers += format("<circle class=\"%s\" cx=\"%.2f\" cy=\"%.2f\" r=\"%s\" fill=\"%s\"/>\n",
                          panel.pointClass, x, y, radius, colour);
    }
    if (!path.empty())
        svg += format("<path fill=\"none\" stroke-width=\"1.5\" stroke=\"%s\"%s d=\"", colour,
                      index >= kColourCount ? " stroke-dasharray=\"6 3\"" : "") +
               path + "\"/>\n";
    svg += markers;
}

void drawFrame(std::string& svg, const Panel& panel) {
    svg += format("<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"#404040\"/>\n",
                  kLeft, panel.top, kRight - kLeft, panel.bottom - panel.top);
}

struct Ranges {
    double minFrequency = 0.0, maxFrequency = 0.0;
    double minMagnitude = 0.0, maxMagnitude = 0.0;
    double minPhase = 0.0, maxPhase = 0.0;
    std::size_t drawn = 0;
};

void include(Ranges& r, const ResponsePoint& p) {
    if (r.drawn++ == 0) {
        r = {p.frequency, p.frequency, p.magnitudeDb, p.magnitudeDb, p.phaseDegrees, p.phaseDegrees, 1};
        return;
    }
    r.minFrequency = std::min(r.minFrequency, p.frequency);
    r.maxFrequency = std::max(r.maxFrequency, p.frequency);
    r.minMagnitude = std::min(r.minMagnitude, p.magnitudeDb);
    r.maxMagnitude = std::max(r.maxMagnitude, p.magnitudeDb);
    r.minPhase = std::min(r.minPhase, p.phaseDegrees);
    r.maxPhase = std::max(r.maxPhase, p.phaseDegrees);
}

Ranges rangesOf(const std::vector<Curve>& curves) {
    Ranges r;
    for (const Curve& curve : curves)
        for (const std::optional<ResponsePoint>& p : curve.points)
            if (p) include(r, *p);
    return r;
}

void drawTitles(std::string& svg, const BodePlot& plot) {
    svg += "<text x=\"480\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">" +
           tools::escapeXml(plot.title) + "</text>\n";
    svg += "<text x=\"480\" y=\"52\" text-anchor=\"middle\" font-size=\"13\" fill=\"#404040\">" +
           tools::escapeXml(plot.note) + "</text>\n";
}

std::size_t legendRows(const BodePlot& plot) {
    return (plot.curves.size() + kLegendColumns - 1) / kLegendColumns;
}

// Below the frequency axis's title: a line sample in each curve's colour and
// the curve's label, three to a row.
void drawLegend(std::string& svg, const BodePlot& plot, double top) {
    const double columnWidth = (kRight - kLeft) / static_cast<double>(kLegendColumns);
    svg += "<g class=\"legend\">\n";
    for (std::size_t i = 0; i < plot.curves.size(); ++i) {
        const double x = kLeft + columnWidth * static_cast<double>(i % kLegendColumns);
        const double y = top + kLegendRowHeight * static_cast<double>(i / kLegendColumns);
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"3\"%s/>\n",
                      x, y, x + 28.0, y, curveColour(i), i >= kColourCount ? " stroke-dasharray=\"6 3\"" : "");
        svg += format("<text class=\"legend-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">", x + 36.0, y + 4.5) +
               tools::escapeXml(plot.curves[i].label) + "</text>\n";
    }
    svg += "</g>\n";
}

}  // namespace

const char* curveColour(std::size_t index) { return kColours[index % kColourCount]; }

std::string renderBodePlot(const BodePlot& plot) {
    const Ranges ranges = rangesOf(plot.curves);
    const LogAxis frequencies = logAxisFor(ranges.minFrequency, ranges.maxFrequency);
    const Panel magnitude{80.0, 370.0, linearAxisFor(ranges.minMagnitude, ranges.maxMagnitude, 6.0, false),
                          plot.magnitudeTitle.c_str(), "magnitude-point"};
    const Panel phase{410.0, 660.0, linearAxisFor(ranges.minPhase, ranges.maxPhase, 90.0, true), "Phase (deg)",
                      "phase-point"};
    const std::vector<const Panel*> panels = {&magnitude, &phase};
    const double axisTitle = panels.back()->bottom + 38.0;
    const double legendTop = axisTitle + 28.0;
    const double height = legendTop + kLegendRowHeight * static_cast<double>(legendRows(plot)) + 8.0;

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" "
                  "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n",
                  kWidth, height, kWidth, height);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    drawTitles(svg, plot);
    for (const Panel* panel : panels) {
        drawFrequencyGrid(svg, frequencies, *panel, panel == panels.back());
        drawValueGrid(svg, *panel);
        drawFrame(svg, *panel);
    }
    for (std::size_t i = 0; i < plot.curves.size(); ++i) {
        drawCurve(svg, frequencies, magnitude, plot.curves[i], i, [](const ResponsePoint& p) { return p.magnitudeDb; });
        drawCurve(svg, frequencies, phase, plot.curves[i], i, [](const ResponsePoint& p) { return p.phaseDegrees; });
    }
    svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\">Frequency (Hz)</text>\n",
                  (kLeft + kRight) / 2.0, axisTitle);
    drawLegend(svg, plot, legendTop);
    svg += "</svg>\n";
    return svg;
}

std::string renderBodePlot(const tools::Report& report, const std::vector<std::optional<ResponsePoint>>& points) {
    BodePlot plot;
    plot.title = "Frequency response of \"" + report.inputFile + "\", " + std::to_string(report.sampleRate) + " Hz";
    plot.curves.push_back(Curve{report.inputFile, points});
    const Ranges ranges = rangesOf(plot.curves);
    // std::to_string, not %zu: the Windows C library's printf does not know it.
    plot.note = std::to_string(ranges.drawn) +
                format(" tones from %g Hz to %g Hz; magnitude relative to the full-scale test tone",
                       ranges.minFrequency, ranges.maxFrequency);
    if (ranges.drawn < points.size())
        plot.note += "; " + std::to_string(points.size() - ranges.drawn) + " silent tones not drawn";
    return renderBodePlot(plot);
}

std::string renderFrd(const std::vector<std::optional<ResponsePoint>>& points) {
    std::string text;
    for (const std::optional<ResponsePoint>& p : points) {
        if (p) text += format("%.2f %.4f %.2f\n", p->frequency, p->magnitudeDb, p->phaseDegrees);
    }
    return text;
}

}  // namespace auralyn::echoplot
