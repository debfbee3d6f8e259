#pragma once

#include <cstddef>
#include <string>

#include "response/response.h"

namespace auralyn::response {

struct ReadResponse {
    Response response;
    std::size_t silentTones = 0;  // tones without a level (amplitude 0), left out
};

// The tables of `auralyn analyze` and `auralyn process`: CSV whose first line
// names the columns (frequency_hz, magnitude_db and phase_deg needed, any
// order; magnitude_u95_db and phase_u95_deg become the intervals; columns
// worked out again from the response are dropped, all others carried along)
// and the JSON document {"sample_rate": ..., "tones": [{...}, ...]}. An
// empty field or null is no value; a tone without a level or phase is
// silent and left out. FRD: optional header lines (starting with '*', or any
// line before the first row of numbers), then rows "frequency dB [degrees]"
// separated by spaces, tabs, commas or semicolons; two columns are a
// target curve (phase 0). Phases are made continuous (unwrapRadians).
// Each throws Error naming `name` (and the line) for anything that is not a
// whole, valid response: see checkResponse.
ReadResponse parseCsvResponse(const std::string& text, const std::string& name);
ReadResponse parseJsonResponse(const std::string& text, const std::string& name);
ReadResponse parseFrdResponse(const std::string& text, const std::string& name);

// A file of any of the three, told apart by its content: JSON starts with
// '{', CSV with the column name frequency_hz, anything else is read as FRD.
// Files over 64 MiB are refused.
ReadResponse readResponseFile(const std::string& path);

inline constexpr std::size_t kMaxResponseFileBytes = 64u << 20;

}  // namespace auralyn::response
