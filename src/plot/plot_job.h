#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plot/measurement.h"

namespace auralyn::plot {

// What `auralyn plot` was asked to do.
struct PlotRequest {
    std::vector<std::string> measurements;  // reports or CSV files, in legend order
    std::string output;                     // empty: the first measurement's name with .svg
    bool frd = false;                       // an FRD file next to each measurement
    std::optional<double> normalizeHz;      // every curve 0 dB there
    bool distortion = false;                // a panel of THD, H2, H3 and the noise floor
    bool uncertainty = false;               // every tone's 95 % interval around its magnitude and phase
    // Physical units: each tone's magnitude in them (nothing: the tone cannot
    // be given in them and is not drawn), their name for the axis and the
    // FRD header (empty: dB re the full-scale test tone), and what was applied.
    std::function<std::optional<double>(double frequencyHz, double magnitudeDb)> toUnit = {};
    std::string unit;
    std::string unitSource;
    bool groupDelay = false;                // a panel of each measurement's groupDelayMs
    bool minPhase = false;                  // each measurement's minPhaseDeg, dashed in the phase panel
    std::vector<std::string> targets;       // target curves, drawn dashed in the magnitude panel
    std::optional<double> targetOffsetDb;   // shift of the targets; none: fitted to the first measurement

    // Reads a file that is neither a report nor a CSV file of analyze (an FRD
    // file); none: such a file is refused as not a report.
    std::function<bool(const std::string& path, Measurement& measurement, std::string& error)> readOther;
    // Works on each measurement after its FRD file is made and before
    // --normalize (smoothing, delay, group delay, minimum phase).
    std::function<bool(Measurement& measurement, std::string& error)> prepare;
};

struct PlotResult {
    std::string plotPath;
    std::vector<std::string> frdPaths;
    std::vector<std::string> warnings;  // one per measurement with tones left out
    std::vector<std::string> summaries;  // "NAME: N tones, R Hz", one per measurement
};

// Reads every measurement, draws them into one SVG and writes it (and the FRD
// files). Every output is written under a temporary name first; nothing is
// renamed into place unless all were written. False, with a message, on any
// failure: then no output file is left behind.
bool runPlot(const PlotRequest& request, PlotResult& result, std::string& error);

// "* " and what was measured, from which file, and when (the file's time of
// last modification, UTC), then one line per drawn tone.
std::string frdDocument(const Measurement& measurement, const std::string& measuredAt,
                        const std::string& unit = "", const std::string& unitSource = "");
std::string modificationTimeOf(const std::string& path);

}  // namespace auralyn::plot
