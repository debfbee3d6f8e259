#include "calibration/cal_line.h"

#include <cctype>
#include <string_view>

#include "calibration/strict_number.h"

namespace auralyn::calibration {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSeparator(char c) { return c == ',' || c == ';'; }

std::size_t firstNonBlank(std::string_view text, std::size_t from = 0) {
    while (from < text.size() && isBlank(text[from])) ++from;
    return from;
}

std::string withoutQuotes(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '"') out += c;
    }
    return out;
}

// A blank run that itself separates two numbers ("1000,5 -3,2"), rather than
// following a comma ("20, 1.5").
bool blanksSeparateNumbers(std::string_view text) {
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (!isBlank(text[at]) || isBlank(text[at - 1])) continue;
        const char before = text[at - 1];
        const std::size_t next = firstNonBlank(text, at);
        if (next == text.size()) return false;
        const char after = text[next];
        const bool numberBefore = isDigit(before) || before == '.';
        const bool numberAfter = isDigit(after) || after == '-' || after == '+' || after == '.';
        if (numberBefore && numberAfter) return true;
    }
    return false;
}

bool hasCommaBetweenDigits(std::string_view text) {
    for (std::size_t at = 1; at + 1 < text.size(); ++at) {
        if (text[at] == ',' && isDigit(text[at - 1]) && isDigit(text[at + 1])) return true;
    }
    return false;
}

// A comma between digits in a row whose fields are parted by blanks or
// semicolons can only be a decimal comma; read as a separator it would shift
// every column after it.
bool hasDecimalComma(std::string_view text) {
    if (!hasCommaBetweenDigits(text)) return false;
    return text.find(';') != std::string_view::npos || blanksSeparateNumbers(text);
}

bool beginsComment(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '#' || c == '*' || c == '/' || c == '\'' ||
           c == '(' || c == '[';
}

// The fields of a row: blanks, commas and semicolons separate them; one comma
// or semicolon with blanks about it is one separator, two in a row leave an
// empty field. A separator at the end of the row is tolerated.
std::vector<std::string> fieldsOf(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t at = firstNonBlank(text);
    while (at < text.size()) {
        std::size_t end = at;
        while (end < text.size() && !isBlank(text[end]) && !isSeparator(text[end])) ++end;
        fields.emplace_back(text.substr(at, end - at));
        at = firstNonBlank(text, end);
        if (at < text.size() && isSeparator(text[at])) at = firstNonBlank(text, at + 1);
    }
    return fields;
}

}  // namespace

bool isDataLine(const std::string& line) {
    std::size_t at = firstNonBlank(line);
    if (at < line.size() && line[at] == '"') ++at;
    return at < line.size() && looksNumeric(std::string_view(line).substr(at));
}

std::vector<double> dataNumbers(const LineRef& line) {
    const std::string text = withoutQuotes(line.text);
    if (hasDecimalComma(text)) throw line.error("decimal comma (write numbers with a decimal point)");
    std::vector<double> numbers;
    for (const std::string& field : fieldsOf(text)) {
        if (field.empty()) throw line.error("empty field between separators");
        if (looksNumeric(field)) {
            const auto value = strictNumber(field);
            if (!value) throw line.error("malformed number \"" + field + "\"");
            numbers.push_back(*value);
            continue;
        }
        if (beginsComment(field.front())) break;
        throw line.error("unexpected text \"" + field + "\"");
    }
    return numbers;
}

}  // namespace auralyn::calibration
