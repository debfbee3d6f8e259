#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plot/report_reader.h"
#include "plot/quality_columns.h"

namespace auralyn::plot {

// One tone as plotted.
struct ResponsePoint {
    double frequency = 0.0;     // Hz
    double magnitudeDb = 0.0;   // 20 log10(amplitude / 32767): 0 dB is the full-scale test tone
    double phaseDegrees = 0.0;  // the response's phase at the tone
};

// How the minimum phase took the magnitude on beyond the first and the last
// tone: straight lines on the log-frequency axis, in dB per octave.
struct MagnitudeExtension {
    double lowDbPerOctave = 0.0;
    double highDbPerOctave = 0.0;
};

// One measured response, from an echoprobe report or from the CSV file of
// `auralyn analyze --csv`, in the order the sweep played the tones.
struct Measurement {
    std::string path;           // as given on the command line
    std::string measuredFile;   // the recording's name (reports only)
    std::uint32_t sampleRate = 0;  // 0 where the file does not say (CSV)
    std::vector<std::optional<ResponsePoint>> points;  // empty where a tone cannot be drawn
    std::vector<QualityRow> quality;         // one per tone from a CSV file with quality columns; else none
    std::size_t silentTones = 0;              // tones not drawn because their amplitude is 0
    std::vector<std::string> qualityColumns;  // the columns of QualityRow the file's first line names
    // Per tone (empty, or one per point), filled in by whoever prepares the
    // measurement for drawing: group delay and the minimum phase.
    std::vector<std::optional<double>> groupDelayMs = {};
    std::vector<std::optional<double>> minPhaseDeg = {};
    std::optional<MagnitudeExtension> minPhaseExtension = {};  // the slopes the minimum phase assumed
    // The time reference where the file names one (read by the response
    // library's reader): the loopback channel, the reference's delay (s).
    std::optional<int> referenceChannel = {};
    std::optional<double> referenceDelay = {};
};

// True when the file named every one of `columns`; else false, with the
// missing ones in `missing` ("a, b").
template <std::size_t N>
bool hasColumns(const Measurement& m, const std::array<const char*, N>& columns, std::string& missing) {
    missing.clear();
    for (const char* column : columns) {
        bool found = false;
        for (const std::string& present : m.qualityColumns) found = found || present == column;
        if (!found) missing += (missing.empty() ? "" : ", ") + std::string(column);
    }
    return missing.empty();
}

// Every tone of the report in order; empty where the tone cannot be drawn (an
// amplitude of 0, or a number that is not finite).
std::vector<std::optional<ResponsePoint>> responsePoints(const Report& report);

// The CSV file's first line holds the column names and starts with
// kCsvColumns; the columns of QualityRow may follow in any order, others
// are ignored, and an empty field (or a value that is not finite) means no value.
inline constexpr const char* kCsvColumns = "frequency_hz,amplitude,magnitude_db,phase_deg";
bool parseCsvMeasurement(const std::string& text, Measurement& measurement, std::string& error);

// A CSV file when its first line starts with the column names, else a report.
bool readMeasurementFile(const std::string& path, Measurement& measurement, std::string& error);

std::size_t drawnCount(const Measurement& measurement);

// Shifts the magnitudes so that the curve passes through 0 dB at `frequency`,
// interpolating linearly on the logarithmic frequency axis between the two
// nearest drawn tones. False when the frequency lies outside the drawn tones.
bool normalizeAt(Measurement& measurement, double frequency, std::string& error);

}  // namespace auralyn::plot
