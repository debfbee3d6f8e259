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

std::optional<int> channelNumber(std::optional<double> value, const std::string& where) {
    if (!value) return std::nullopt;
    if (*value < 1.0 || *value > 1024.0 || *value != std::floor(*value))
        throw Error(where + ": expected a channel number from 1 to 1024");
    return static_cast<int>(*value);
}

std::size_t readCsvComments(const std::vector<std::string>& lines, Response& response, const std::string& name) {
    std::size_t l = 0;
    for (; l < lines.size() && !lines[l].empty() && lines[l][0] == '#'; ++l) {
        const std::string& line = lines[l];
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = trimmed(line.substr(1, colon - 1));
        const std::string where = name + ", line " + std::to_string(l + 1) + ", " + key;
        const auto value = [&] { return numberField(line.substr(colon + 1), where); };
        if (key == "failed") throw Error(name + ": the measurement failed (" + trimmed(line.substr(colon + 1)) + ")");
        if (key == "reference_channel") response.referenceChannel = channelNumber(value(), where);
        else if (key == "reference_delay_s") response.referenceDelay = value();
        else if (key == "sample_rate") response.sampleRate = value();
        else if (key == "delay_removed_s") response.delayRemoved = value().value_or(0.0);
    }
    return l;
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
