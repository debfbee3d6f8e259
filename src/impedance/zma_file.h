#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "impedance/impedance_point.h"

namespace auralyn::impedance {

// The impedance file that crossover tools read: comment lines starting with
// '*' first, then one line per frequency, "frequency ohms degrees", space
// separated, ascending, the phase within +-180 degrees, four decimals,
// ASCII only. It holds no intervals.
void writeZma(std::ostream& out, const ImpedanceCurve& curve, const std::vector<std::string>& comments);

struct ZmaReading {
    ImpedanceCurve curve;
    std::string error;   // "line N: ..." when the file is not a ZMA file
    bool ok() const { return error.empty(); }
};

// Reads a ZMA file: '*' lines and blank lines are skipped; every other line
// must hold three numbers (further columns are ignored), frequencies
// positive and ascending, magnitudes zero or more, phases within +-180.
// At most kMaxZmaLines lines are read.
ZmaReading readZma(std::istream& in);

inline constexpr std::size_t kMaxZmaLines = 1000000;

}  // namespace auralyn::impedance
