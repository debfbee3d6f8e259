#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plot/plot_axes.h"

namespace auralyn::plot {

// The drawing primitives of one plot panel: a value axis over the shared
// logarithmic frequency axis, a frame, and what is drawn inside it.
inline constexpr double kPlotLeft = 90.0;
inline constexpr double kPlotRight = 930.0;

struct Panel {
    double top;
    double bottom;
    LinearAxis axis;
    std::string title;
    const char* pointClass;
    const char* clipId;  // what is drawn inside stays inside the frame
};

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

double xOf(const LogAxis& axis, double frequency);
double yOf(const Panel& panel, double value);

void drawFrequencyGrid(std::string& svg, const LogAxis& axis, const Panel& panel, bool labels);
void drawValueGrid(std::string& svg, const Panel& panel);
void drawFrame(std::string& svg, const Panel& panel);

// Everything drawn between these two is clipped to the panel's frame.
void beginClipped(std::string& svg, const Panel& panel);
void endClipped(std::string& svg);

struct SeriesPoint {
    double frequency;
    double value;
};
using Series = std::vector<std::optional<SeriesPoint>>;  // empty: a gap in the line

enum class Marker { Circle, Square, Triangle, Diamond };

struct LineStyle {
    const char* dashArray = nullptr;  // null: solid
    Marker marker = Marker::Circle;
    double width = 1.5;
};

// Which tones carry a marker: every `every`-th from `first` on.
struct MarkerSpacing {
    std::size_t every = 1;
    std::size_t first = 0;
};

// A line through the points, broken at every gap, and a marker of class
// `pointClass` on the points that `spacing` picks.
void drawSeries(std::string& svg, const LogAxis& axis, const Panel& panel, const Series& series, const char* colour,
                const LineStyle& style, const char* pointClass, double markerSize, MarkerSpacing spacing = {});

// One marker centred on (x, y); also the legend's samples.
std::string markerAt(Marker marker, double x, double y, double size, const char* colour, const char* pointClass);

struct BandPoint {
    double frequency;
    double low;
    double high;
};
using Band = std::vector<std::optional<BandPoint>>;  // empty: no interval at that tone

// A translucent band through every run of neighbouring intervals, of class
// `bandClass`; an interval with no neighbour becomes a bar of the same class.
void drawBand(std::string& svg, const LogAxis& axis, const Panel& panel, const Band& band, const char* colour,
              const char* bandClass);

}  // namespace auralyn::plot
