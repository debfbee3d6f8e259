#pragma once

#include <optional>
#include <string>
#include <vector>

#include "echoplot/report_reader.h"
#include "echoplot/response_point.h"

namespace auralyn::echoplot {

// One measurement's curve and its legend entry.
struct Curve {
    std::string label;
    std::vector<std::optional<ResponsePoint>> points;  // empty where a tone cannot be drawn
};

// What one SVG shows: panels stacked on a shared logarithmic frequency axis,
// magnitude above phase; every curve in its own colour in every panel.
struct BodePlot {
    std::string title;
    std::string note;  // the line under the title
    std::string magnitudeTitle = "Magnitude (dB)";
    std::vector<Curve> curves;
};

// A self-contained SVG document. Every drawn tone is one <circle> of class
// "magnitude-point" and one of class "phase-point"; the legend names every
// curve in its colour.
std::string renderBodePlot(const BodePlot& plot);

// One report alone, titled with the measured file and the sampling rate.
std::string renderBodePlot(const tools::Report& report, const std::vector<std::optional<ResponsePoint>>& points);

// The colour of the curve with this index: distinct for the first eight.
const char* curveColour(std::size_t index);

// Frequency, magnitude in dB and phase in degrees, one drawn tone per line.
std::string renderFrd(const std::vector<std::optional<ResponsePoint>>& points);

}  // namespace auralyn::echoplot
