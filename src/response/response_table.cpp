#include "response/response_table.h"

#include <cmath>
#include <cstdio>

#include "response/phase.h"
#include "response/processing.h"

namespace auralyn::response {
namespace {

std::optional<double> finite(std::optional<double> value) {
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

template <typename Get>
Column columnOf(const Response& response, std::string name, Get get) {
    Column column{std::move(name), {}};
    column.values.reserve(response.tones.size());
    for (const Tone& tone : response.tones) column.values.push_back(get(tone));
    return column;
}

bool anyValue(const Column& column) {
    for (const std::optional<double>& value : column.values)
        if (value) return true;
    return false;
}

}  // namespace

std::vector<Column> responseColumns(const Response& response, bool unwrapped) {
    std::vector<Column> columns{
        columnOf(response, "frequency_hz", [](const Tone& t) -> std::optional<double> { return t.frequency; }),
        columnOf(response, "amplitude", [](const Tone& t) -> std::optional<double> { return kFullScale * t.magnitude; }),
        columnOf(response, "magnitude_db", [](const Tone& t) -> std::optional<double> { return t.magnitudeDb(); }),
        columnOf(response, "phase_deg", [unwrapped](const Tone& t) -> std::optional<double> {
            return unwrapped ? t.phaseDeg() : wrapDegrees(t.phaseDeg());
        })};
    for (std::size_t c = 0; c < response.extraColumns.size(); ++c) {
        const bool wrap = !unwrapped && isPhaseColumn(response.extraColumns[c]);
        columns.push_back(columnOf(response, response.extraColumns[c], [c, wrap](const Tone& t) -> std::optional<double> {
            if (wrap && t.extra[c]) return wrapDegrees(*t.extra[c]);
            return t.extra[c];
        }));
    }
    Column magnitudeU95 = columnOf(response, "magnitude_u95_db", [](const Tone& t) { return t.magnitudeU95Db; });
    Column phaseU95 = columnOf(response, "phase_u95_deg", [](const Tone& t) { return t.phaseU95Deg; });
    if (anyValue(magnitudeU95) || anyValue(phaseU95)) {
        columns.push_back(std::move(magnitudeU95));
        columns.push_back(std::move(phaseU95));
    }
    return columns;
}

std::vector<Column> csvColumns(const Response& response, bool unwrapped) {
    std::vector<Column> columns = responseColumns(response, unwrapped);
    const auto constant = [&response](const char* name, double value) {
        return Column{name, std::vector<std::optional<double>>(response.tones.size(), value)};
    };
    if (response.sampleRate) columns.push_back(constant("sample_rate_hz", *response.sampleRate));
    if (response.referenceChannel) columns.push_back(constant("reference_channel", *response.referenceChannel));
    if (response.referenceDelay) columns.push_back(constant("reference_delay_s", *response.referenceDelay));
    return columns;
}

bool isDerivedColumn(const std::string& name) {
    for (const char* derived : {"amplitude", "group_delay_ms", "min_phase_deg", "excess_phase_deg", "excess_group_delay_ms"})
        if (name == derived) return true;
    return false;
}

std::string csvText(const std::vector<Column>& columns) {
    std::string text;
    for (std::size_t c = 0; c < columns.size(); ++c) text += (c == 0 ? "" : ",") + columns[c].name;
    text += '\n';
    const std::size_t rows = columns.empty() ? 0 : columns.front().values.size();
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c != 0) text += ',';
            const std::optional<double> value = finite(columns[c].values[r]);
            if (!value) continue;
            char field[40];
            std::snprintf(field, sizeof field, "%.17g", *value);
            text += field;
        }
        text += '\n';
    }
    return text;
}

nlohmann::ordered_json jsonValue(std::optional<double> value) {
    value = finite(value);
    if (!value) return nullptr;
    return *value;
}

std::string jsonText(const std::vector<SummaryField>& summary, const std::vector<Column>& columns) {
    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const SummaryField& field : summary) document[field.first] = field.second;
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    const std::size_t count = columns.empty() ? 0 : columns.front().values.size();
    for (std::size_t r = 0; r < count; ++r) {
        nlohmann::ordered_json row = nlohmann::ordered_json::object();
        for (const Column& column : columns) row[column.name] = jsonValue(column.values[r]);
        rows.push_back(std::move(row));
    }
    document["tones"] = std::move(rows);
    return document.dump(2) + "\n";
}

}  // namespace auralyn::response
