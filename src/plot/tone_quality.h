#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace auralyn::plot {

// What `auralyn analyze --csv` says about one tone beyond its amplitude and
// phase: harmonics, noise and the 95 % intervals. Every value may be absent
// (an empty field, a column the file does not have, or an echoprobe report).
struct ToneQuality {
    double frequency = 0.0;  // the nominal frequency, as for the response
    std::optional<double> frequencyMeasuredHz;
    std::array<std::optional<double>, 9> harmonicDbc;  // H2 .. H10 against the fundamental
    std::optional<double> thdDb;
    std::optional<double> thdPercent;
    std::optional<double> thdnDb;
    std::optional<double> noiseFloorDbfs;
    std::optional<double> snrDb;
    std::optional<double> magnitudeU95Db;
    std::optional<double> phaseU95Deg;
};

// The value a CSV column holds, by the column's name; null for a column this
// program does not know.
std::optional<double>* qualityField(ToneQuality& tone, std::string_view column);

// The columns that --distortion and --uncertainty draw.
inline constexpr std::array<const char*, 4> kDistortionColumns = {"thd_db", "h2_dbc", "h3_dbc", "noise_floor_dbfs"};
inline constexpr std::array<const char*, 2> kUncertaintyColumns = {"magnitude_u95_db", "phase_u95_deg"};

}  // namespace auralyn::plot
