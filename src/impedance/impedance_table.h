#pragma once

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

#include "impedance/impedance_point.h"

namespace auralyn::impedance {

// The per-tone table of an impedance measurement, with intervals:
// frequency_hz, impedance_ohm, impedance_phase_deg, impedance_u95_ohm,
// impedance_phase_u95_deg and drive_dbfs (empty where not known).
void writeImpedanceCsv(std::ostream& out, const ImpedanceCurve& curve);

// {"tones": [{"frequency_hz": ..., ...}, ...]} with the same keys; `about`'s
// members (sense resistor, wiring, ...) come first.
nlohmann::json impedanceJson(const ImpedanceCurve& curve, const nlohmann::json& about);

struct CurveReading {
    ImpedanceCurve curve;
    std::string error;
    bool ok() const { return error.empty(); }
};

// Reads an impedance curve from text: the JSON document or the CSV table
// above (intervals included), or a ZMA file (without intervals), told apart
// by their first character that is not blank.
CurveReading readImpedanceCurve(std::istream& in);

}  // namespace auralyn::impedance
