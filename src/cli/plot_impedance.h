#pragma once

#include <string>
#include <vector>

namespace auralyn::cli {

// An impedance curve rather than a frequency response: a file named .zma,
// or the CSV or JSON of auralyn impedance (which name impedance_ohm early).
bool isImpedanceCurve(const std::string& path);

// `auralyn plot` of impedance curves: |Z| and phase of each, with their 95 %
// bands where the file holds intervals, into one SVG (`output`, or the first
// curve's name with .svg). Prints what it wrote; returns the exit status.
int plotImpedanceCurves(const std::vector<std::string>& paths, std::string output);

}  // namespace auralyn::cli
