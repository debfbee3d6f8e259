#include <cmath>

#include <nlohmann/json.hpp>

#include "response/reader_parts.h"
#include "response/response_reader.h"
#include "response/response_table.h"

namespace auralyn::response {
namespace {

using Json = nlohmann::json;

std::optional<double> numberOf(const Json& value, const std::string& where) {
    if (value.is_null()) return std::nullopt;
    if (!value.is_number()) throw Error(where + " is not a number");
    const double number = value.get<double>();
    if (!std::isfinite(number)) throw Error(where + " is not a finite number");
    return number;
}

std::string toneWhere(const std::string& name, std::size_t index, const std::string& key) {
    return name + ": tone " + std::to_string(index + 1) + ", \"" + key + "\"";
}

// The carried columns: every key of any tone that is not read into the tone
// itself, in the order first seen.
std::vector<std::string> extraColumnsOf(const Json& tones) {
    std::vector<std::string> columns;
    for (const Json& tone : tones) {
        if (!tone.is_object()) continue;
        for (const auto& item : tone.items()) {
            const std::string& key = item.key();
            if (key == "frequency_hz" || key == "magnitude_db" || key == "phase_deg" || key == "magnitude_u95_db" ||
                key == "phase_u95_deg" || isDerivedColumn(key))
                continue;
            bool known = false;
            for (const std::string& column : columns) known = known || column == key;
            if (!known) columns.push_back(key);
        }
    }
    return columns;
}

std::optional<double> member(const Json& tone, const std::string& key, const std::string& where) {
    const auto found = tone.find(key);
    if (found == tone.end()) return std::nullopt;
    return numberOf(*found, where);
}

}  // namespace

ReadResponse parseJsonResponse(const std::string& text, const std::string& name) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& e) {
        throw Error(name + ": not valid JSON (" + e.what() + ")");
    }
    if (!document.is_object() || !document.contains("tones") || !document["tones"].is_array())
        throw Error(name + ": expected a JSON object with a \"tones\" array, as auralyn analyze writes");
    ReadResponse read;
    Response& response = read.response;
    if (document.contains("sample_rate")) response.sampleRate = numberOf(document["sample_rate"], name + ": \"sample_rate\"");
    if (document.contains("delay_removed_s"))
        response.delayRemoved = numberOf(document["delay_removed_s"], name + ": \"delay_removed_s\"").value_or(0.0);
    if (document.contains("reference_channel"))
        response.referenceChannel = reading::channelNumber(numberOf(document["reference_channel"], name + ": \"reference_channel\""),
                                                           name + ": \"reference_channel\"");
    if (document.contains("reference_delay_s"))
        response.referenceDelay = numberOf(document["reference_delay_s"], name + ": \"reference_delay_s\"");
    const Json& tones = document["tones"];
    response.extraColumns = extraColumnsOf(tones);
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const Json& tone = tones[i];
        if (!tone.is_object()) throw Error(name + ": tone " + std::to_string(i + 1) + " is not an object");
        const auto get = [&](const std::string& key) { return member(tone, key, toneWhere(name, i, key)); };
        const std::optional<double> frequency = get("frequency_hz");
        if (!frequency) throw Error(toneWhere(name, i, "frequency_hz") + " is missing");
        const std::optional<double> db = get("magnitude_db"), degrees = get("phase_deg");
        if (!db || !degrees) {
            ++read.silentTones;
            continue;
        }
        Tone t = reading::toneOf(*frequency, *db, *degrees);
        t.magnitudeU95Db = get("magnitude_u95_db");
        t.phaseU95Deg = get("phase_u95_deg");
        for (const std::string& column : response.extraColumns) t.extra.push_back(get(column));
        response.tones.push_back(std::move(t));
    }
    reading::finish(response, name);
    return read;
}

}  // namespace auralyn::response
