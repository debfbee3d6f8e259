#pragma once

#include <optional>
#include <string_view>

namespace auralyn::calibration {

// The value of a token that is a plain decimal number and nothing else:
// optional sign, digits with at most one decimal point (".27710" and "5."
// included), optional exponent. Anything else ("--3.1", "1.2.3", "1,5",
// "0x10", "inf", trailing letters) gives nothing, so that no row of a
// calibration file is ever misread. Independent of the C locale.
std::optional<double> strictNumber(std::string_view token);

// True where a token begins like a number (digit, sign or decimal point):
// such a token must then be one.
bool looksNumeric(std::string_view token);

}  // namespace auralyn::calibration
