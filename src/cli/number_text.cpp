#include "cli/number_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace auralyn::cli {

std::optional<double> wholeNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

std::string shortestText(double value) {
    char text[32];
    // Whole numbers as digits, not in exponent form: 96000, 4294967295.
    if (std::fabs(value) < 1e16 && value == std::trunc(value)) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

}  // namespace auralyn::cli
