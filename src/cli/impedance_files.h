#pragma once

#include <string>
#include <vector>

#include "impedance/impedance_point.h"

namespace auralyn::cli {

// Writes text to a file that appears only when complete (StagedFile);
// prints why when it could not be written.
bool writeWholeFile(const std::string& path, const std::string& text);

// Reads a whole text file of at most `limit` bytes; prints why not.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& text);

// An impedance curve from a file (ZMA, or the CSV or JSON of auralyn
// impedance) of at most 64 MiB; prints why not (naming the file).
bool readImpedanceCurveFile(const std::string& path, impedance::ImpedanceCurve& curve);

// The SVG of impedance curves (|Z| and phase with their bands) and of the
// fitted models drawn over them.
struct ImpedanceTraceInput {
    std::string label;
    const impedance::ImpedanceCurve* curve;
    bool model = false;
};
std::string impedancePlotSvg(const std::string& title, const std::string& note,
                             const std::vector<ImpedanceTraceInput>& traces);

// Any of two paths given twice, or naming an input, is a bad command line;
// prints which.
bool pathsAreDistinct(const std::vector<std::string>& outputs, const std::vector<std::string>& inputs);

}  // namespace auralyn::cli
