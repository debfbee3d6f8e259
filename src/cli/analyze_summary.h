#pragma once

#include <string>

#include "clock/clock_figure.h"
#include "analysis/sweep_analysis.h"

namespace auralyn::cli {

// The clock line of the summary, e.g. "Clock: the recording runs +20.31 ppm
// against the sweep (±0.05 ppm)", to four decimals where the interval is
// below 0.005 ppm; for a figure beyond the range it goes on
// to say that it is not used. Empty when the tones disagree.
std::string clockLine(const clock::ClockFigure& figure);

// "SNR of the tones: 41.2 to 96.3 dB", or empty when no tone has one.
std::string snrLine(const analysis::SweepAnalysis& analysis);

// The summary on standard output: the clock line (when given), tones
// measured, peak level, SNR range, tones not measured.
void printSummary(const analysis::SweepAnalysis& analysis, const std::string& clock);

// Diagnostics: why the clock figure was not used (true when there was a
// reason to, which fails the run), the tones that clipped, the tones missing.
bool printClockProblem(const std::string& path, const clock::ClockFigure& figure);
void printClipping(const std::string& path, const analysis::SweepAnalysis& analysis);
void printFailure(const std::string& path, const analysis::SweepAnalysis& analysis);

}  // namespace auralyn::cli
