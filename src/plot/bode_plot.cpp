#include "plot/bode_plot.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "plot/plot_axes.h"
#include "plot/svg_panel.h"
#include "plot/xml_text.h"

namespace auralyn::plot {
namespace {

constexpr double kWidth = 960.0;

// Colour-blind-safe and distinct on white; later curves reuse them dashed.
constexpr const char* kColours[] = {"#1f5fbf", "#c0392b", "#2a9d3a", "#e08a00",
                                    "#7b3fb0", "#17a2b8", "#8c564b", "#d6338a"};
constexpr std::size_t kColourCount = sizeof kColours / sizeof kColours[0];
constexpr double kLegendRowHeight = 20.0;
constexpr std::size_t kLegendColumns = 3;

// The distortion panel's quantities: the colour says which measurement, the
// line and the marker which quantity.
struct Quantity {
    const char* label;
    const char* pointClass;
    LineStyle style;
    std::function<std::optional<double>(const QualityRow&)> value;
};

const std::vector<Quantity>& distortionQuantities() {
    static const std::vector<Quantity> quantities = {
        {"THD (dBc)", "thd-point", {nullptr, Marker::Circle, 1.8}, [](const QualityRow& t) { return t.thdDb; }},
        {"H2 (dBc)", "h2-point", {"7 4", Marker::Square, 1.3}, [](const QualityRow& t) { return t.harmonicDbc[0]; }},
        {"H3 (dBc)", "h3-point", {"2 3", Marker::Triangle, 1.3}, [](const QualityRow& t) { return t.harmonicDbc[1]; }},
        {"Noise floor (dBFS)", "noise-floor-point", {"10 3 2 3", Marker::Diamond, 1.0},
         [](const QualityRow& t) { return t.noiseFloorDbfs; }},
    };
    return quantities;
}

struct Range {
    double low = 0.0, high = 0.0;
    std::size_t count = 0;
    void include(double value) {
        low = count == 0 ? value : std::min(low, value);
        high = count == 0 ? value : std::max(high, value);
        ++count;
    }
};

struct Ranges {
    Range frequency, magnitude, phase, distortion, groupDelay;
};

void includeValues(Range& range, const Curve& curve, const std::vector<std::optional<double>>& values) {
    for (std::size_t i = 0; i < values.size() && i < curve.points.size(); ++i)
        if (values[i] && curve.points[i]) range.include(*values[i]);
}

// The first and the last drawn tone, if any.
std::optional<std::pair<ResponsePoint, ResponsePoint>> drawnEnds(const Curve& curve) {
    std::optional<ResponsePoint> first, last;
    for (const std::optional<ResponsePoint>& p : curve.points) {
        if (!p) continue;
        if (!first) first = p;
        last = p;
    }
    if (!first) return std::nullopt;
    return std::make_pair(*first, *last);
}

// An octave of each extension: straight lines on the log-frequency axis, so
// their two ends draw them; a gap between the two.
Series extensionSeries(const Curve& curve) {
    const auto ends = curve.extension ? drawnEnds(curve) : std::nullopt;
    if (!ends) return {};
    const ResponsePoint& first = ends->first;
    const ResponsePoint& last = ends->second;
    return {SeriesPoint{first.frequency / 2.0, first.magnitudeDb - curve.extension->lowDbPerOctave},
            SeriesPoint{first.frequency, first.magnitudeDb},
            std::nullopt,
            SeriesPoint{last.frequency, last.magnitudeDb},
            SeriesPoint{last.frequency * 2.0, last.magnitudeDb + curve.extension->highDbPerOctave}};
}

Ranges rangesOf(const BodePlot& plot) {
    Ranges r;
    for (const Curve& curve : plot.curves) {
        for (const std::optional<ResponsePoint>& p : curve.points) {
            if (!p) continue;
            r.frequency.include(p->frequency);
            r.magnitude.include(p->magnitudeDb);
            if (!curve.target) r.phase.include(p->phaseDegrees);
        }
        includeValues(r.phase, curve, curve.minPhaseDeg);
        for (const std::optional<SeriesPoint>& p : extensionSeries(curve)) {
            if (!p) continue;
            r.frequency.include(p->frequency);
            r.magnitude.include(p->value);
        }
        if (plot.groupDelay) includeValues(r.groupDelay, curve, curve.groupDelayMs);
        if (!plot.distortion) continue;
        for (const QualityRow& tone : curve.quality) {
            for (const Quantity& quantity : distortionQuantities()) {
                if (const std::optional<double> value = quantity.value(tone)) {
                    r.distortion.include(*value);
                    r.frequency.include(tone.frequency);
                }
            }
        }
    }
    return r;
}

Series responseSeries(const Curve& curve, double ResponsePoint::*value) {
    Series series;
    for (const std::optional<ResponsePoint>& p : curve.points)
        series.push_back(p ? std::optional<SeriesPoint>(SeriesPoint{p->frequency, (*p).*value}) : std::nullopt);
    return series;
}

// The interval is drawn around the curve as plotted, so it moves with it when
// the curve is normalized.
Band responseBand(const Curve& curve, double ResponsePoint::*value, std::optional<double> QualityRow::*halfWidth) {
    Band band;
    for (std::size_t i = 0; i < curve.points.size(); ++i) {
        const std::optional<ResponsePoint>& p = curve.points[i];
        const std::optional<double> u = i < curve.quality.size() ? curve.quality[i].*halfWidth : std::nullopt;
        if (!p || !u) {
            band.emplace_back();
            continue;
        }
        const double centre = (*p).*value;
        band.push_back(BandPoint{p->frequency, centre - std::fabs(*u), centre + std::fabs(*u)});
    }
    return band;
}

Series qualitySeries(const Curve& curve, const Quantity& quantity) {
    Series series;
    for (const QualityRow& tone : curve.quality) {
        const std::optional<double> value = quantity.value(tone);
        series.push_back(value ? std::optional<SeriesPoint>(SeriesPoint{tone.frequency, *value}) : std::nullopt);
    }
    return series;
}

LineStyle curveStyle(std::size_t index) { return {index >= kColourCount ? "6 3" : nullptr, Marker::Circle, 1.5}; }

// Target curves and the minimum phase: dashed lines without markers; the
// magnitude's extension in shorter dashes.
constexpr LineStyle kDashed{"8 4", Marker::Circle, 1.4};
constexpr LineStyle kExtension{"3 3", Marker::Circle, 1.4};
constexpr MarkerSpacing kNoMarkers{static_cast<std::size_t>(-1), static_cast<std::size_t>(-1)};

Series valueSeries(const Curve& curve, const std::vector<std::optional<double>>& values) {
    Series series;
    for (std::size_t i = 0; i < values.size() && i < curve.points.size(); ++i) {
        const std::optional<ResponsePoint>& p = curve.points[i];
        series.push_back(p && values[i] ? std::optional<SeriesPoint>(SeriesPoint{p->frequency, *values[i]})
                                        : std::nullopt);
    }
    return series;
}

// Dense sweeps would blot out the curve with large markers.
double markerSize(const Curve& curve) { return curve.points.size() > 100 ? 1.6 : 2.5; }

void drawResponse(std::string& svg, const LogAxis& axis, const Panel& panel, const BodePlot& plot,
                  double ResponsePoint::*value, std::optional<double> QualityRow::*halfWidth, const char* bandClass) {
    const bool magnitude = value == &ResponsePoint::magnitudeDb;
    beginClipped(svg, panel);
    if (plot.uncertainty)
        for (std::size_t i = 0; i < plot.curves.size(); ++i)
            if (!plot.curves[i].target)
                drawBand(svg, axis, panel, responseBand(plot.curves[i], value, halfWidth), curveColour(i), bandClass);
    for (std::size_t i = 0; i < plot.curves.size(); ++i) {
        const Curve& curve = plot.curves[i];
        if (curve.target) {
            if (magnitude)
                drawSeries(svg, axis, panel, responseSeries(curve, value), curveColour(i), kDashed, "target-point",
                           0.0, kNoMarkers);
            continue;
        }
        drawSeries(svg, axis, panel, responseSeries(curve, value), curveColour(i), curveStyle(i), panel.pointClass,
                   markerSize(curve));
        if (magnitude && curve.extension) {
            svg += "<g class=\"min-phase-extension\">\n";
            drawSeries(svg, axis, panel, extensionSeries(curve), curveColour(i), kExtension, "extension-point", 0.0,
                       kNoMarkers);
            svg += "</g>\n";
        }
        if (!magnitude && !curve.minPhaseDeg.empty())
            drawSeries(svg, axis, panel, valueSeries(curve, curve.minPhaseDeg), curveColour(i), kDashed,
                       "min-phase-point", 0.0, kNoMarkers);
    }
    endClipped(svg);
}

// Up to kDenseSeries tones every tone has its marker; beyond, markers on
// every tone would hide the line styles that tell the quantities apart, so
// about kDenseSeries spread evenly, each quantity's staggered against the others'.
constexpr std::size_t kDenseSeries = 60;

MarkerSpacing distortionSpacing(std::size_t tones, std::size_t quantity, std::size_t quantities) {
    if (tones <= kDenseSeries) return {};
    const std::size_t every = (tones + kDenseSeries - 1) / kDenseSeries;
    return {every, every * quantity / quantities};
}

void drawDistortion(std::string& svg, const LogAxis& axis, const Panel& panel, const BodePlot& plot) {
    const std::vector<Quantity>& quantities = distortionQuantities();
    beginClipped(svg, panel);
    for (std::size_t i = 0; i < plot.curves.size(); ++i)
        for (std::size_t q = 0; q < quantities.size(); ++q)
            drawSeries(svg, axis, panel, qualitySeries(plot.curves[i], quantities[q]), curveColour(i),
                       quantities[q].style, quantities[q].pointClass, 3.0,
                       distortionSpacing(plot.curves[i].quality.size(), q, quantities.size()));
    endClipped(svg);
}

void drawGroupDelay(std::string& svg, const LogAxis& axis, const Panel& panel, const BodePlot& plot) {
    beginClipped(svg, panel);
    for (std::size_t i = 0; i < plot.curves.size(); ++i)
        if (!plot.curves[i].target)
            drawSeries(svg, axis, panel, valueSeries(plot.curves[i], plot.curves[i].groupDelayMs), curveColour(i),
                       curveStyle(i), panel.pointClass, markerSize(plot.curves[i]));
    endClipped(svg);
}

void drawTitles(std::string& svg, const BodePlot& plot) {
    svg += "<text x=\"480\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">" +
           escapeXml(plot.title) + "</text>\n";
    svg += "<text x=\"480\" y=\"52\" text-anchor=\"middle\" font-size=\"13\" fill=\"#404040\">" +
           escapeXml(plot.note) + "</text>\n";
}

bool showsMinimumPhase(const BodePlot& plot) {
    for (const Curve& curve : plot.curves)
        if (!curve.minPhaseDeg.empty() || curve.extension) return true;
    return false;
}

bool hasQuantityLegend(const BodePlot& plot) { return plot.distortion || plot.uncertainty || showsMinimumPhase(plot); }

std::size_t legendRows(const BodePlot& plot) {
    const std::size_t rows = (plot.curves.size() + kLegendColumns - 1) / kLegendColumns;
    return rows + (hasQuantityLegend(plot) ? 1 : 0);
}

// Below the frequency axis's title: a line sample in each curve's colour and
// the curve's label, three to a row.
void drawCurveLegend(std::string& svg, const BodePlot& plot, double top) {
    const double columnWidth = (kPlotRight - kPlotLeft) / static_cast<double>(kLegendColumns);
    for (std::size_t i = 0; i < plot.curves.size(); ++i) {
        const double x = kPlotLeft + columnWidth * static_cast<double>(i % kLegendColumns);
        const double y = top + kLegendRowHeight * static_cast<double>(i / kLegendColumns);
        const char* dashes = plot.curves[i].target ? " stroke-dasharray=\"8 4\""
                             : i >= kColourCount   ? " stroke-dasharray=\"6 3\""
                                                   : "";
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"3\"%s/>\n",
                      x, y, x + 28.0, y, curveColour(i), dashes);
        svg += format("<text class=\"legend-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">", x + 36.0, y + 4.5) +
               escapeXml(plot.curves[i].label) + "</text>\n";
    }
}

// One row in grey: the line and marker of every distortion quantity, and what
// the shading means.
void drawQuantityLegend(std::string& svg, const BodePlot& plot, double y) {
    constexpr const char* kGrey = "#303030";
    double x = kPlotLeft;
    if (plot.distortion) {
        for (const Quantity& quantity : distortionQuantities()) {
            svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"%.1f\"",
                          x, y, x + 34.0, y, kGrey, quantity.style.width + 0.5);
            if (quantity.style.dashArray != nullptr) svg += format(" stroke-dasharray=\"%s\"", quantity.style.dashArray);
            svg += "/>\n" + markerAt(quantity.style.marker, x + 17.0, y, 3.0, kGrey, "legend-marker");
            svg += format("<text class=\"quantity-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">%s</text>\n",
                          x + 40.0, y + 4.5, quantity.label);
            x += 40.0 + 8.0 * static_cast<double>(std::char_traits<char>::length(quantity.label)) + 18.0;
        }
    }
    if (plot.uncertainty) {
        svg += format("<rect x=\"%.2f\" y=\"%.2f\" width=\"34\" height=\"12\" fill=\"%s\" fill-opacity=\"0.2\"/>\n", x,
                      y - 6.0, kGrey);
        svg += format("<text class=\"quantity-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">95 %% interval</text>\n",
                      x + 40.0, y + 4.5);
        x += 40.0 + 8.0 * 13.0 + 18.0;
    }
    if (!showsMinimumPhase(plot)) return;
    const std::pair<const LineStyle*, const char*> entries[] = {
        {&kDashed, "minimum phase"}, {&kExtension, "magnitude extended for the minimum phase"}};
    for (const auto& [style, label] : entries) {
        svg += format("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" stroke-width=\"2\" "
                      "stroke-dasharray=\"%s\"/>\n",
                      x, y, x + 34.0, y, kGrey, style->dashArray);
        svg += format("<text class=\"quantity-label\" x=\"%.2f\" y=\"%.2f\" font-size=\"13\">%s</text>\n", x + 40.0,
                      y + 4.5, label);
        x += 40.0 + 7.0 * static_cast<double>(std::char_traits<char>::length(label)) + 18.0;
    }
}

void drawLegend(std::string& svg, const BodePlot& plot, double top) {
    svg += "<g class=\"legend\">\n";
    drawCurveLegend(svg, plot, top);
    const std::size_t curveRows = (plot.curves.size() + kLegendColumns - 1) / kLegendColumns;
    if (hasQuantityLegend(plot))
        drawQuantityLegend(svg, plot, top + kLegendRowHeight * static_cast<double>(curveRows) + 6.0);
    svg += "</g>\n";
}

}  // namespace

const char* curveColour(std::size_t index) { return kColours[index % kColourCount]; }

std::string renderBodePlot(const BodePlot& plot) {
    const Ranges ranges = rangesOf(plot);
    const LogAxis frequencies = logAxisFor(ranges.frequency.low, ranges.frequency.high);
    const Panel magnitude{80.0, 370.0, linearAxisFor(ranges.magnitude.low, ranges.magnitude.high, 6.0, false),
                          plot.magnitudeTitle, "magnitude-point", "clip-magnitude"};
    const Panel phase{410.0, 660.0, linearAxisFor(ranges.phase.low, ranges.phase.high, 90.0, true), "Phase (deg)",
                      "phase-point", "clip-phase"};
    const Panel groupDelay{700.0, 900.0, linearAxisFor(ranges.groupDelay.low, ranges.groupDelay.high, 1.0, false),
                           "Group delay (ms)", "group-delay-point", "clip-group-delay"};
    const double distortionTop = plot.groupDelay ? 940.0 : 700.0;
    const Panel distortion{distortionTop, distortionTop + 280.0,
                           linearAxisFor(ranges.distortion.low, ranges.distortion.high, 20.0, false),
                           "Distortion (dBc), noise floor (dBFS)", "", "clip-distortion"};
    std::vector<const Panel*> panels = {&magnitude, &phase};
    if (plot.groupDelay) panels.push_back(&groupDelay);
    if (plot.distortion) panels.push_back(&distortion);
    const double axisTitle = panels.back()->bottom + 38.0;
    const double legendTop = axisTitle + 28.0;
    const double height = legendTop + kLegendRowHeight * static_cast<double>(legendRows(plot)) + 14.0;

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
    drawResponse(svg, frequencies, magnitude, plot, &ResponsePoint::magnitudeDb, &QualityRow::magnitudeU95Db,
                 "magnitude-band");
    drawResponse(svg, frequencies, phase, plot, &ResponsePoint::phaseDegrees, &QualityRow::phaseU95Deg, "phase-band");
    if (plot.groupDelay) drawGroupDelay(svg, frequencies, groupDelay, plot);
    if (plot.distortion) drawDistortion(svg, frequencies, distortion, plot);
    svg += format("<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" font-size=\"14\">Frequency (Hz)</text>\n",
                  (kPlotLeft + kPlotRight) / 2.0, axisTitle);
    drawLegend(svg, plot, legendTop);
    svg += "</svg>\n";
    return svg;
}

std::string renderBodePlot(const Report& report, const std::vector<std::optional<ResponsePoint>>& points) {
    BodePlot plot;
    plot.title = "Frequency response of \"" + report.inputFile + "\", " + std::to_string(report.sampleRate) + " Hz";
    plot.curves.push_back(Curve{report.inputFile, points, {}});
    const Ranges ranges = rangesOf(plot);
    // std::to_string, not %zu: the Windows C library's printf does not know it.
    plot.note = std::to_string(ranges.frequency.count) +
                format(" tones from %g Hz to %g Hz; magnitude relative to the full-scale test tone",
                       ranges.frequency.low, ranges.frequency.high);
    if (ranges.frequency.count < points.size())
        plot.note += "; " + std::to_string(points.size() - ranges.frequency.count) + " silent tones not drawn";
    return renderBodePlot(plot);
}

std::string renderFrd(const std::vector<std::optional<ResponsePoint>>& points) {
    std::string text;
    for (const std::optional<ResponsePoint>& p : points) {
        if (p) text += format("%.2f %.4f %.2f\n", p->frequency, p->magnitudeDb, p->phaseDegrees);
    }
    return text;
}

}  // namespace auralyn::plot
