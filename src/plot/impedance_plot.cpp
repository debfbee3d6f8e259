#include "plot/impedance_plot.h"

#include <algorithm>
#include <cmath>

#include "plot/bode_plot.h"
#include "plot/plot_axes.h"
#include "plot/svg_panel.h"
#include "plot/xml_text.h"

namespace auralyn::plot {
namespace {

constexpr double kWidth = 960.0;

struct Extent {
    double fLow = INFINITY, fHigh = 0.0, zLow = INFINITY, zHigh = 0.0, pLow = INFINITY, pHigh = -INFINITY;
};

Extent extentOf(const ImpedancePlot& plot) {
    Extent e;
    for (const ImpedanceTrace& trace : plot.traces) {
        for (const ImpedanceSample& s : trace.samples) {
            if (!(s.ohms > 0.0)) continue;
            e.fLow = std::min(e.fLow, s.frequency);
            e.fHigh = std::max(e.fHigh, s.frequency);
            e.zLow = std::min(e.zLow, s.ohms);
            e.zHigh = std::max(e.zHigh, s.ohms);
            e.pLow = std::min(e.pLow, s.degrees);
            e.pHigh = std::max(e.pHigh, s.degrees);
        }
    }
    return e;
}

// The ohm axis spans whole 1-2-5 steps around the data, at least a factor of ten.
LinearAxis ohmAxis(double low, double high) {
    double a = std::floor(std::log10(std::max(low, 1e-3)));
    double b = std::ceil(std::log10(std::max(high, 1e-3)));
    if (b - a < 1.0) b = a + 1.0;
    return {a, b, 1.0};
}

std::string ohmLabel(double ohms) {
    if (ohms >= 1000.0) return format("%gk", ohms / 1000.0);
    return format("%g", ohms);
}

void drawOhmGrid(std::string& svg, const Panel& panel) {
    for (double ohms : ohmGrid(std::pow(10.0, panel.axis.low), std::pow(10.0, panel.axis.high))) {
        const double y = yOf(panel, std::log10(ohms));
        const bool decade = std::abs(std::log10(ohms) - std::round(std::log10(ohms))) < 1e-9;
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"1\"/>\n",
                      kPlotLeft, y, kPlotRight, y, decade ? "#b0b0b0" : "#e0e0e0");
        svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\" font-size=\"12\">%s</text>\n", kPlotLeft - 6.0,
                      y + 4.0, ohmLabel(ohms).c_str());
    }
    const double middle = (panel.top + panel.bottom) / 2.0;
    svg += format("<text class=\"panel-title\" x=\"24\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\" "
                  "transform=\"rotate(-90 24 %.2f)\">%s</text>\n",
                  middle, middle, panel.title.c_str());
}

Series seriesOf(const ImpedanceTrace& trace, bool magnitude) {
    Series series;
    for (const ImpedanceSample& s : trace.samples) {
        if (!(s.ohms > 0.0)) {
            series.emplace_back();
            continue;
        }
        series.push_back(SeriesPoint{s.frequency, magnitude ? std::log10(s.ohms) : s.degrees});
    }
    return series;
}

Band bandOf(const ImpedanceTrace& trace, bool magnitude) {
    Band band;
    for (const ImpedanceSample& s : trace.samples) {
        const double u = magnitude ? s.ohmsU95 : s.degreesU95;
        if (!(s.ohms > 0.0) || !(u > 0.0)) {
            band.emplace_back();
            continue;
        }
        if (magnitude)  // a lower end at or below 0 ohms falls off the log axis: the panel clips it
            band.push_back(BandPoint{s.frequency, std::log10(std::max(s.ohms - u, s.ohms * 1e-3)), std::log10(s.ohms + u)});
        else
            band.push_back(BandPoint{s.frequency, s.degrees - u, s.degrees + u});
    }
    return band;
}

void drawTraces(std::string& svg, const LogAxis& axis, const Panel& panel, const ImpedancePlot& plot, bool magnitude) {
    beginClipped(svg, panel);
    std::size_t colour = 0;
    for (const ImpedanceTrace& trace : plot.traces)
        if (!trace.model) drawBand(svg, axis, panel, bandOf(trace, magnitude), curveColour(colour++), magnitude ? "impedance-band" : "phase-band");
    colour = 0;
    for (const ImpedanceTrace& trace : plot.traces) {
        if (trace.model) continue;
        drawSeries(svg, axis, panel, seriesOf(trace, magnitude), curveColour(colour++), {nullptr, Marker::Circle, 1.5},
                   panel.pointClass, trace.samples.size() > 100 ? 1.6 : 2.5);
    }
    // Models over the measurements, in black, with no markers (spacing beyond the count).
    for (const ImpedanceTrace& trace : plot.traces) {
        if (!trace.model) continue;
        drawSeries(svg, axis, panel, seriesOf(trace, magnitude), "#000000", {"5 3", Marker::Circle, 1.2}, "model-point",
                   0.0, {trace.samples.size() + 1, trace.samples.size() + 1});
    }
    endClipped(svg);
}

void drawLegend(std::string& svg, const ImpedancePlot& plot, double top) {
    svg += "<g class=\"legend\">\n";
    std::size_t colour = 0;
    double y = top;
    for (const ImpedanceTrace& trace : plot.traces) {
        const char* stroke = trace.model ? "#000000" : curveColour(colour++);
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"3\"%s/>\n",
                      kPlotLeft, y, kPlotLeft + 28.0, y, stroke, trace.model ? " stroke-dasharray=\"5 3\"" : "");
        svg += format("<text class=\"legend-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">", kPlotLeft + 36.0, y + 4.5) +
               escapeXml(trace.label + (trace.model ? "" : " (shaded: 95 % interval)")) + "</text>\n";
        y += 20.0;
    }
    svg += "</g>\n";
}

}  // namespace

std::vector<double> ohmGrid(double low, double high) {
    std::vector<double> grid;
    for (double decade = std::pow(10.0, std::floor(std::log10(low))); decade <= high * 1.0000001; decade *= 10.0)
        for (double m : {1.0, 2.0, 5.0})
            if (m * decade >= low * 0.9999999 && m * decade <= high * 1.0000001) grid.push_back(m * decade);
    return grid;
}

std::string renderImpedancePlot(const ImpedancePlot& plot) {
    const Extent e = extentOf(plot);
    const bool empty = !(e.fHigh > 0.0);
    const LogAxis frequencies = empty ? LogAxis{10.0, 20000.0} : logAxisFor(e.fLow, e.fHigh);
    const Panel magnitude{80.0, 400.0, empty ? LinearAxis{0.0, 2.0, 1.0} : ohmAxis(e.zLow, e.zHigh),
                          "Impedance (ohm)", "impedance-point", "clip-impedance"};
    const Panel phase{440.0, 680.0, empty ? LinearAxis{-90.0, 90.0, 45.0} : linearAxisFor(e.pLow, e.pHigh, 90.0, true),
                      "Phase (deg)", "phase-point", "clip-phase"};
    const double legendTop = phase.bottom + 66.0;
    const double height = legendTop + 20.0 * static_cast<double>(plot.traces.size()) + 14.0;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += format("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" "
                  "font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n",
                  kWidth, height, kWidth, height);
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg += "<text x=\"480\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">" +
           escapeXml(plot.title) + "</text>\n";
    svg += "<text x=\"480\" y=\"52\" text-anchor=\"middle\" font-size=\"13\" fill=\"#404040\">" +
           escapeXml(plot.note) + "</text>\n";
    drawFrequencyGrid(svg, frequencies, magnitude, false);
    drawOhmGrid(svg, magnitude);
    drawFrame(svg, magnitude);
    drawFrequencyGrid(svg, frequencies, phase, true);
    drawValueGrid(svg, phase);
    drawFrame(svg, phase);
    drawTraces(svg, frequencies, magnitude, plot, true);
    drawTraces(svg, frequencies, phase, plot, false);
    svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\">Frequency (Hz)</text>\n",
                  (kPlotLeft + kPlotRight) / 2.0, phase.bottom + 38.0);
    drawLegend(svg, plot, legendTop);
    svg += "</svg>\n";
    return svg;
}

}  // namespace auralyn::plot
