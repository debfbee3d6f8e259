#pragma once

#include <string>
#include <vector>

#include "response/response.h"

namespace auralyn::response {

// One row of a three-column frequency table: frequency (Hz), a value (dB,
// ohms, ...) and a phase in degrees.
struct TableRow {
    double frequency = 0.0;  // Hz
    double value = 0.0;      // in the table's own unit
    double degrees = 0.0;    // phase
};

// The plain text table that crossover and simulation tools import (FRD for
// responses; the same layout serves impedance files): each comment line
// first, starting with "* ", then one row per line, "frequency value
// degrees" separated by single spaces with four decimals, line feeds, ASCII
// only (bytes outside printable ASCII in a comment become '?'). Throws Error
// when a number is not finite or the frequencies do not increase.
std::string frequencyTableText(const std::vector<std::string>& comments, const std::vector<TableRow>& rows);

// The response as FRD: magnitude in dB re the full-scale test tone, phase
// wrapped to (-180, 180] unless `unwrapped`.
std::string frdText(const Response& response, const std::vector<std::string>& comments, bool unwrapped);

}  // namespace auralyn::response
