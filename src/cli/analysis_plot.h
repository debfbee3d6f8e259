#pragma once

#include <string>

#include "cli/analysis_outputs.h"

namespace auralyn::cli {

// The Bode plot (SVG) of one analysis, drawn as `auralyn plot` draws the CSV
// table of the same analysis.
std::string plotText(const AnalysisDocument& document);

}  // namespace auralyn::cli
