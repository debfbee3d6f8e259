#pragma once

#include <optional>
#include <string>
#include <vector>

#include "plot/measurement.h"
#include "plot/quality_columns.h"
#include "plot/report_reader.h"

namespace auralyn::plot {

// One measurement's curve and its legend entry.
struct Curve {
    std::string label;
    std::vector<std::optional<ResponsePoint>> points;  // empty where a tone cannot be drawn
    std::vector<QualityRow> quality;  // one per tone, or none
    std::vector<std::optional<double>> groupDelayMs = {};  // one per point, or none
    std::vector<std::optional<double>> minPhaseDeg = {};   // one per point, or none: dashed in the phase panel
    bool target = false;  // a target curve: dashed, magnitude only
    // With the minimum phase: the magnitude as it assumed it an octave beyond
    // the first and the last drawn tone, dashed in the magnitude panel.
    std::optional<MagnitudeExtension> extension = {};
};

// What one SVG shows: panels stacked on a shared logarithmic frequency axis,
// magnitude above phase, and with `distortion` a third panel of THD, H2, H3
// (dBc) and the noise floor (dBFS); every curve in its own colour in every
// panel. With `uncertainty` every tone's 95 % interval is a translucent band
// around the magnitude and the phase.
struct BodePlot {
    std::string title;
    std::string note;  // the line under the title
    std::string magnitudeTitle = "Magnitude (dB)";
    std::vector<Curve> curves;
    bool distortion = false;
    bool uncertainty = false;
    bool groupDelay = false;  // a panel of group delay (ms) below the phase
};

// A self-contained SVG document. Every drawn tone is one <circle> of class
// "magnitude-point" and one of class "phase-point"; a distortion value is one
// marker of class "thd-point", "h2-point", "h3-point" or "noise-floor-point";
// the bands are of class "magnitude-band" and "phase-band"; group delay
// points are of class "group-delay-point", and the minimum phase and target
// curves are dashed lines without markers; the minimum phase's extension of
// the magnitude is a dashed line in a group of class "min-phase-extension".
// The legend names every curve in its colour, every quantity of the
// distortion panel, and the minimum phase and its extension where drawn.
std::string renderBodePlot(const BodePlot& plot);

// One report alone, titled with the measured file and the sampling rate.
std::string renderBodePlot(const Report& report, const std::vector<std::optional<ResponsePoint>>& points);

// The colour of the curve with this index: distinct for the first eight.
const char* curveColour(std::size_t index);

// Frequency, magnitude in dB and phase in degrees, one drawn tone per line.
std::string renderFrd(const std::vector<std::optional<ResponsePoint>>& points);

}  // namespace auralyn::plot
