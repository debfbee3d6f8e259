#pragma once

#include <optional>
#include <string>

namespace auralyn::cli {

// The number that the dialogue's conversion (strtod) reads from the text, but
// only when the whole text is that number: "48000Hz", " 5", "" and "abc" give
// nothing, where the dialogue would take 48000, 5, its default and 0.
std::optional<double> wholeNumber(const std::string& text);

// The shortest text that reads back as the same double: 0.1, 24000, 1e+10.
std::string shortestText(double value);

}  // namespace auralyn::cli
