#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/sweep_analysis.h"

namespace auralyn::cli {

// One column of the per-tone tables: its name, fixed once published (columns
// are added, never renamed), and its value for a tone, or nothing where the
// tone has none.
struct ToneColumn {
    std::string name;
    std::function<std::optional<double>(const analysis::ToneMeasurement&)> value;
    bool boolean = false;  // written as true/false (a value of 0 is false)
    // Set for a column of the JSON only (a list, an object): its value there; CSV leaves it out.
    std::function<nlohmann::ordered_json(const analysis::ToneMeasurement&)> json = {};
    // Set for a column of words (a flag): its text in both tables, `value` unused.
    std::function<std::optional<std::string>(const analysis::ToneMeasurement&)> text = {};
};

// The columns every table starts with, in this order: frequency_hz (nominal),
// amplitude (sample units), magnitude_db (re full scale 32767; none for a
// silent tone) and phase_deg (unwrapped as in the report).
std::vector<ToneColumn> standardToneColumns();

// The columns that follow them: frequency_measured_hz (the tone's frequency
// in the recording), h2_dbc .. h10_dbc, thd_db, thd_percent, thdn_db,
// noise_floor_dbfs, snr_db, magnitude_u95_db and phase_u95_deg.
std::vector<ToneColumn> qualityToneColumns();

// Both, in order: the tables analyze writes.
std::vector<ToneColumn> analysisToneColumns();

// A field at the top level of the JSON document, next to "tones".
using SummaryField = std::pair<std::string, nlohmann::ordered_json>;

// A number for JSON: null unless finite.
nlohmann::ordered_json jsonNumber(std::optional<double> value);

// The CSV table: the column names, then one row per tone; each value with 17
// significant digits, an empty field where a tone has none. Never NaN or inf.
std::string toneTableCsv(const std::vector<ToneColumn>& columns, const std::vector<analysis::ToneMeasurement>& tones);

// A tone's value in one column as the JSON writes it: null where it has none.
nlohmann::ordered_json jsonValue(const ToneColumn& column, const analysis::ToneMeasurement& tone);

// {"<summary fields>"..., "tones": [{"<column>": value, ...}, ...]}, the
// fields in the given order, doubles written so that they read back exactly,
// null where a tone has no value, indented by two spaces a level as
// nlohmann's dump(2) does. Ends with a line feed. (tone_table_json.cpp)
std::string toneTableJson(const std::vector<SummaryField>& summary, const std::vector<ToneColumn>& columns,
                          const std::vector<analysis::ToneMeasurement>& tones);

}  // namespace auralyn::cli
