#include "cli/tone_table.h"

#include <cmath>
#include <cstdio>

#include "measurer/report.h"

namespace auralyn::cli {
namespace {

constexpr double kFullScale = 32767.0;

std::optional<double> finite(std::optional<double> value) {
    if (value && std::isfinite(*value)) return value;
    return std::nullopt;
}

std::string csvField(std::optional<double> value, bool boolean) {
    if (!value) return {};
    if (boolean) return *value != 0.0 ? "true" : "false";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", *value);
    return text;
}

}  // namespace

nlohmann::ordered_json jsonValue(const ToneColumn& column, const analysis::ToneMeasurement& tone) {
    if (column.json) return column.json(tone);
    if (column.text) {
        const std::optional<std::string> text = column.text(tone);
        return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
    }
    const std::optional<double> value = finite(column.value(tone));
    if (column.boolean && value) return *value != 0.0;
    return jsonNumber(value);
}

std::vector<ToneColumn> standardToneColumns() {
    return {
        {"frequency_hz", [](const analysis::ToneMeasurement& t) -> std::optional<double> { return t.frequency; }},
        {"amplitude", [](const analysis::ToneMeasurement& t) -> std::optional<double> { return t.amplitude; }},
        {"magnitude_db",
         [](const analysis::ToneMeasurement& t) -> std::optional<double> {
             if (!(t.amplitude > 0.0)) return std::nullopt;
             return 20.0 * std::log10(t.amplitude / analysis::kFullScale);
         }},
        {"phase_deg", [](const analysis::ToneMeasurement& t) -> std::optional<double> { return measurer::degrees(t.unwrappedPhase); }},
    };
}

std::vector<ToneColumn> qualityToneColumns() {
    using analysis::ToneQuality;
    const auto fromQuality = [](std::string name, std::function<std::optional<double>(const analysis::ToneQuality&)> get) {
        return ToneColumn{std::move(name), [get](const analysis::ToneMeasurement& t) -> std::optional<double> {
                              if (!t.quality) return std::nullopt;
                              return get(*t.quality);
                          }};
    };
    std::vector<ToneColumn> columns{
        {"frequency_measured_hz", [](const analysis::ToneMeasurement& t) { return t.measuredFrequency; }}};
    for (int k = 2; k <= analysis::kMaxHarmonic; ++k) {
        std::string name = "h";  // appended piece by piece: GCC 12 warns wrongly on "h" + string
        name += std::to_string(k);
        name += "_dbc";
        columns.push_back(fromQuality(name, [k](const analysis::ToneQuality& q) { return q.harmonicDbc[k]; }));
    }
    columns.push_back(fromQuality("thd_db", [](const analysis::ToneQuality& q) { return q.thdDb; }));
    columns.push_back(fromQuality("thd_db_upper", [](const analysis::ToneQuality& q) { return q.thdDbUpper; }));
    columns.push_back(fromQuality("thd_percent", [](const analysis::ToneQuality& q) { return q.thdPercent; }));
    columns.push_back(fromQuality("thdn_db", [](const analysis::ToneQuality& q) { return q.thdnDb; }));
    columns.push_back(fromQuality("noise_floor_dbfs", [](const analysis::ToneQuality& q) { return q.noiseFloorDbfs; }));
    columns.push_back(fromQuality("snr_db", [](const analysis::ToneQuality& q) { return q.snrDb; }));
    columns.push_back(fromQuality("magnitude_u95_db",
                                  [](const analysis::ToneQuality& q) -> std::optional<double> { return q.magnitudeU95Db; }));
    columns.push_back(fromQuality("phase_u95_deg",
                                  [](const analysis::ToneQuality& q) -> std::optional<double> { return q.phaseU95Deg; }));
    return columns;
}

std::vector<ToneColumn> analysisToneColumns() {
    std::vector<ToneColumn> columns = standardToneColumns();
    for (ToneColumn& column : qualityToneColumns()) columns.push_back(std::move(column));
    return columns;
}

nlohmann::ordered_json jsonNumber(std::optional<double> value) {
    value = finite(value);
    if (!value) return nullptr;
    return *value;
}

std::string toneTableCsv(const std::vector<ToneColumn>& columns, const std::vector<analysis::ToneMeasurement>& tones) {
    std::vector<const ToneColumn*> fields;
    for (const ToneColumn& column : columns) {
        if (!column.json) fields.push_back(&column);
    }
    std::string text;
    for (std::size_t c = 0; c < fields.size(); ++c) text += (c == 0 ? "" : ",") + fields[c]->name;
    text += '\n';
    for (const analysis::ToneMeasurement& tone : tones) {
        for (std::size_t c = 0; c < fields.size(); ++c) {
            if (c != 0) text += ',';
            if (fields[c]->text) {
                text += fields[c]->text(tone).value_or("");
                continue;
            }
            text += csvField(finite(fields[c]->value(tone)), fields[c]->boolean);
        }
        text += '\n';
    }
    return text;
}

}  // namespace auralyn::cli
