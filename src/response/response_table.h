#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "response/response.h"

namespace auralyn::response {

// One column of a per-tone table: its name and a value (or none) per tone.
struct Column {
    std::string name;
    std::vector<std::optional<double>> values;
};

// The columns of a response as analyze names them: frequency_hz, amplitude
// (32767·|H|), magnitude_db, phase_deg (wrapped to (-180, 180] unless
// `unwrapped`, as are min_phase_deg and excess_phase_deg), the extra columns
// in their order, then magnitude_u95_db and
// phase_u95_deg where any tone has them.
std::vector<Column> responseColumns(const Response& response, bool unwrapped);

// The columns of a CSV file: responseColumns, then what the JSON keeps in its
// summary as columns of one value: sample_rate_hz, reference_channel and
// reference_delay_s, where the response has them.
std::vector<Column> csvColumns(const Response& response, bool unwrapped);

// Names of the columns that are worked out again from the response rather
// than carried along when a table is read back.
bool isDerivedColumn(const std::string& name);

// CSV: the names, then a row per tone, 17 significant digits, an empty field
// for no value (never NaN or inf).
std::string csvText(const std::vector<Column>& columns);

// {"<summary>"..., "tones": [{"<column>": value or null, ...}, ...]} and a line feed.
using SummaryField = std::pair<std::string, nlohmann::ordered_json>;
std::string jsonText(const std::vector<SummaryField>& summary, const std::vector<Column>& columns);

// null unless finite.
nlohmann::ordered_json jsonValue(std::optional<double> value);

}  // namespace auralyn::response
