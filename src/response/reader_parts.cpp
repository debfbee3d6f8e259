#include "response/reader_parts.h"

#include <cmath>
#include <cstdlib>

#include "response/phase.h"

namespace auralyn::response::reading {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> numberField(std::string field, const std::string& where) {
    field = trimmed(field);
    if (field.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    if (end != field.c_str() + field.size()) throw Error(where + ": '" + field + "' is not a number");
    if (!std::isfinite(value))
        throw Error(where + ": '" + field + "' is not a finite number");
    return value;
}

std::vector<std::string> splitLine(const std::string& line, const std::string& separators) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = line.find_first_of(separators, start);
        fields.push_back(line.substr(start, at - start));
        if (at == std::string::npos) return fields;
        start = at + 1;
    }
}

std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

Tone toneOf(double frequency, double magnitudeDb, double phaseDeg) {
    Tone tone;
    tone.frequency = frequency;
    tone.magnitude = fromDecibels(magnitudeDb);
    tone.phase = toRadians(phaseDeg);
    return tone;
}

void finish(Response& response, const std::string& name) {
    std::vector<double> continuous = unwrapRadians(phases(response));
    for (std::size_t i = 0; i < response.tones.size(); ++i) response.tones[i].phase = continuous[i];
    checkResponse(response, name);
}

}  // namespace auralyn::response::reading
