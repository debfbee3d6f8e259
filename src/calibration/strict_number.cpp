#include "calibration/strict_number.h"

#include <charconv>
#include <cmath>

namespace auralyn::calibration {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t skipDigits(std::string_view text, std::size_t at) {
    while (at < text.size() && isDigit(text[at])) ++at;
    return at;
}

// The grammar check that from_chars alone does not make: from_chars stops at
// the first character it cannot use and would read "1.2.3" as 1.2.
bool isPlainDecimal(std::string_view text) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    const std::size_t integerEnd = skipDigits(text, at);
    bool digits = integerEnd > at;
    at = integerEnd;
    if (at < text.size() && text[at] == '.') {
        const std::size_t fractionEnd = skipDigits(text, at + 1);
        digits = digits || fractionEnd > at + 1;
        at = fractionEnd;
    }
    if (!digits) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        const std::size_t exponentEnd = skipDigits(text, at);
        if (exponentEnd == at) return false;
        at = exponentEnd;
    }
    return at == text.size();
}

}  // namespace

bool looksNumeric(std::string_view token) {
    if (token.empty()) return false;
    const char c = token.front();
    return isDigit(c) || c == '+' || c == '-' || c == '.';
}

std::optional<double> strictNumber(std::string_view token) {
    if (!isPlainDecimal(token)) return std::nullopt;
    if (token.front() == '+') token.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace auralyn::calibration
