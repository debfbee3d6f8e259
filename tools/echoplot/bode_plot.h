#pragma once

#include <optional>
#include <string>
#include <vector>

#include "echoplot/report_reader.h"

namespace auralyn::echoplot {

// One tone as plotted: magnitude relative to the full-scale test tone.
struct ResponsePoint {
    double frequency = 0.0;
    double magnitudeDb = 0.0;
    double phaseDegrees = 0.0;
};

inline constexpr double kFullScaleTone = 32767.0;

// Every tone of the report in order; empty where the tone cannot be drawn (an
// amplitude of 0, or a number that is not finite).
std::vector<std::optional<ResponsePoint>> responsePoints(const tools::Report& report);

// A self-contained SVG document: magnitude above, phase below, on a shared
// logarithmic frequency axis. Every drawn tone is one <circle> of class
// "magnitude-point" and one of class "phase-point".
std::string renderBodePlot(const tools::Report& report, const std::vector<std::optional<ResponsePoint>>& points);

// Frequency, magnitude in dB and phase in degrees, one drawn tone per line.
std::string renderFrd(const std::vector<std::optional<ResponsePoint>>& points);

}  // namespace auralyn::echoplot
