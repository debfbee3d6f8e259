#include "calibration/cal_header.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "calibration/strict_number.h"

namespace auralyn::calibration {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) ++at;
    return at;
}

// The characters from at up to the first of stops (or the end).
std::string_view runUntil(std::string_view text, std::size_t at, std::string_view stops) {
    const std::size_t end = text.find_first_of(stops, at);
    return text.substr(at, (end == std::string_view::npos ? text.size() : end) - at);
}

// "Sens Factor =-1.378dB" (and "=.27710dB"): the number between "=" and "dB".
void readSensFactor(const LineRef& line, std::size_t keyEnd, CalHeader& header) {
    const std::string_view text = line.text;
    std::size_t at = skipBlanks(text, keyEnd);
    if (at >= text.size() || text[at] != '=') throw line.error("\"Sens Factor\" without \"=\"");
    at = skipBlanks(text, at + 1);
    const std::string_view token = runUntil(text, at, "dD, \t\"");
    const auto value = strictNumber(token);
    if (!value) throw line.error("malformed Sens Factor \"" + std::string(token) + "\"");
    header.sensFactorDb = *value;
    header.line = line.number;
}

void readSerialNumber(const LineRef& line, std::size_t keyEnd, CalHeader& header) {
    const std::string_view text = line.text;
    std::size_t at = skipBlanks(text, keyEnd);
    if (at < text.size() && (text[at] == ':' || text[at] == '=')) at = skipBlanks(text, at + 1);
    const std::string_view serial = runUntil(text, at, ", \t\"");
    if (!serial.empty()) header.serialNumber = std::string(serial);
}

// "*1000Hz  -38.6": a sensitivity in dBV re 1 V/Pa at the frequency where
// the table is 0 dB. Only a star line whose number is followed by "Hz" is
// one; other star lines are comments.
void readStarSensitivity(const LineRef& line, CalHeader& header) {
    const std::string_view text = line.text;
    std::size_t at = skipBlanks(text, 0);
    if (at >= text.size() || text[at] != '*') return;
    at = skipBlanks(text, at + 1);
    const std::string_view frequencyText = runUntil(text, at, "hH \t");
    if (frequencyText.empty() || !looksNumeric(frequencyText)) return;
    const std::size_t unitAt = skipBlanks(text, at + frequencyText.size());
    if (lowered(text.substr(unitAt, 2)) != "hz") return;
    const auto frequency = strictNumber(frequencyText);
    if (!frequency || !(*frequency > 0.0)) {
        throw line.error("malformed sensitivity frequency \"" + std::string(frequencyText) + "\"");
    }
    const std::size_t valueAt = skipBlanks(text, unitAt + 2);
    const std::string_view valueText = runUntil(text, valueAt, " \t,;");
    const auto value = strictNumber(valueText);
    if (!value) throw line.error("malformed sensitivity \"" + std::string(valueText) + "\"");
    header.sensitivityFrequencyHz = *frequency;
    header.sensitivityDbv = *value;
    header.line = line.number;
}

}  // namespace

void readHeaderLine(const LineRef& line, CalHeader& header) {
    const std::string lower = lowered(line.text);
    constexpr std::string_view sensKey = "sens factor";
    constexpr std::string_view serialKey = "serno";
    if (const std::size_t at = lower.find(sensKey); at != std::string::npos) {
        readSensFactor(line, at + sensKey.size(), header);
    }
    if (const std::size_t at = lower.find(serialKey); at != std::string::npos) {
        readSerialNumber(line, at + serialKey.size(), header);
    }
    readStarSensitivity(line, header);
}

}  // namespace auralyn::calibration
