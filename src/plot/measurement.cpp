#include "plot/measurement.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "plot/plausible_values.h"

namespace auralyn::plot {
namespace {

// The full-scale test tone's amplitude: 0 dB of every plotted magnitude.
constexpr double kFullScaleTone = 32767.0;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos) return parts;
        text.remove_prefix(end + 1);
    }
}

std::vector<std::string_view> csvLines(std::string_view text) {
    std::vector<std::string_view> lines = split(text, '\n');
    if (!lines.empty() && lines.back().empty()) lines.pop_back();  // the final line end
    for (std::string_view& line : lines)
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return lines;
}

enum class Field { Empty, Number, Invalid };

// An empty field has no value; anything else must be one number, whole.
Field parseField(std::string_view text, double& value) {
    if (text.empty()) return Field::Empty;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    const bool whole = end == copy.c_str() + copy.size() && !std::isspace(static_cast<unsigned char>(copy[0]));
    return whole && errno != ERANGE ? Field::Number : Field::Invalid;
}

std::string csvLineError(std::size_t index, const std::string& what) {
    return "line " + std::to_string(index + 1) + ": " + what;
}

// Magnitude from magnitude_db, else from the amplitude; empty for a silent or
// unmeasured tone.
std::optional<double> magnitudeOf(Field dbField, double db, Field amplitudeField, double amplitude) {
    if (dbField == Field::Number) return std::isfinite(db) ? std::optional<double>(db) : std::nullopt;
    if (amplitudeField == Field::Number && amplitude > 0.0 && std::isfinite(amplitude))
        return 20.0 * std::log10(amplitude / kFullScaleTone);
    return std::nullopt;
}

bool parseCsvRow(std::string_view line, std::size_t index, std::optional<ResponsePoint>& point, double& frequency,
                 bool& silent, std::string& error) {
    static const char* const kNames[] = {"frequency_hz", "amplitude", "magnitude_db", "phase_deg"};
    const std::vector<std::string_view> fields = split(line, ',');
    if (fields.size() < 4) {
        error = csvLineError(index, "expected at least 4 comma-separated fields");
        return false;
    }
    double values[4] = {};
    Field kinds[4] = {};
    for (int column = 0; column < 4; ++column) {
        kinds[column] = parseField(fields[static_cast<std::size_t>(column)], values[column]);
        if (kinds[column] == Field::Invalid) {
            std::string what = "'";
            what.append(fields[static_cast<std::size_t>(column)]);
            what.append("' in column ").append(kNames[column]).append(" is not a number");
            error = csvLineError(index, what);
            return false;
        }
    }
    if (kinds[0] != Field::Number || !std::isfinite(values[0]) || values[0] <= 0.0) {
        error = csvLineError(index, "a tone needs a frequency above 0 Hz");
        return false;
    }
    frequency = values[0];
    const std::optional<double> magnitude = magnitudeOf(kinds[2], values[2], kinds[1], values[1]);
    const bool drawable = magnitude && kinds[3] == Field::Number && std::isfinite(values[3]);
    point = drawable ? std::optional<ResponsePoint>(ResponsePoint{values[0], *magnitude, values[3]}) : std::nullopt;
    silent = !drawable && kinds[1] == Field::Number && values[1] == 0.0;
    return true;
}

// A known column after the first four: where it is and what it is called.
struct QualityColumn {
    std::size_t index;
    std::string name;
};

std::vector<QualityColumn> qualityColumnsOf(std::string_view header) {
    std::vector<QualityColumn> columns;
    const std::vector<std::string_view> names = split(header, ',');
    QualityRow probe;
    for (std::size_t i = 4; i < names.size(); ++i)
        if (qualityField(probe, names[i]) != nullptr) columns.push_back({i, std::string(names[i])});
    return columns;
}

// A row shorter than the first line leaves its last columns without values; a
// value that is not finite is no value (analyze writes none of those).
bool parseQualityFields(std::string_view line, std::size_t index, const std::vector<QualityColumn>& columns,
                        QualityRow& tone, std::string& error) {
    const std::vector<std::string_view> fields = split(line, ',');
    for (const QualityColumn& column : columns) {
        if (column.index >= fields.size()) continue;
        double value = 0.0;
        const Field kind = parseField(fields[column.index], value);
        if (kind == Field::Invalid) {
            std::string what = "'";
            what.append(fields[column.index]).append("' in column ").append(column.name).append(" is not a number");
            error = csvLineError(index, what);
            return false;
        }
        if (kind == Field::Number && std::isfinite(value)) *qualityField(tone, column.name) = value;
    }
    return true;
}

// The value of a column that holds one value for the whole file (analyze's
// sample_rate_hz, reference_channel), from the first tone's row.
std::optional<double> fileWideValue(const std::vector<std::string_view>& lines, std::string_view name) {
    if (lines.size() < 2) return std::nullopt;
    const std::vector<std::string_view> names = split(lines[0], ',');
    const std::vector<std::string_view> fields = split(lines[1], ',');
    for (std::size_t i = 0; i < names.size() && i < fields.size(); ++i) {
        double value = 0.0;
        if (names[i] == name && parseField(fields[i], value) == Field::Number) return value;
    }
    return std::nullopt;
}

void readFileWideValues(const std::vector<std::string_view>& lines, Measurement& measurement) {
    if (const auto rate = fileWideValue(lines, "sample_rate_hz"); rate && *rate >= 1.0 && *rate <= 1e7)
        measurement.sampleRate = static_cast<std::uint32_t>(*rate);
    if (const auto channel = fileWideValue(lines, "reference_channel"); channel && *channel >= 1.0 && *channel <= 1024.0)
        measurement.referenceChannel = static_cast<int>(*channel);
}

}  // namespace

std::vector<std::optional<ResponsePoint>> responsePoints(const Report& report) {
    std::vector<std::optional<ResponsePoint>> points;
    points.reserve(report.tones.size());
    for (const ReportTone& tone : report.tones) {
        const bool drawable = tone.amplitude > 0.0 && std::isfinite(tone.amplitude) &&
                              std::isfinite(tone.phaseDegrees) && std::isfinite(tone.frequency);
        if (!drawable) {
            points.emplace_back();
            continue;
        }
        points.push_back(ResponsePoint{tone.frequency, 20.0 * std::log10(tone.amplitude / kFullScaleTone),
                                       tone.phaseDegrees});
    }
    return points;
}

bool parseCsvMeasurement(const std::string& text, Measurement& measurement, std::string& error) {
    const std::vector<std::string_view> lines = csvLines(text);
    const std::string_view columns = kCsvColumns;
    if (lines.empty() || lines[0].substr(0, columns.size()) != columns ||
        (lines[0].size() > columns.size() && lines[0][columns.size()] != ',')) {
        error = csvLineError(0, "expected the column names '" + std::string(columns) + "'");
        return false;
    }
    measurement.points.clear();
    measurement.quality.clear();
    const std::vector<QualityColumn> known = qualityColumnsOf(lines[0]);
    measurement.qualityColumns.clear();
    for (const QualityColumn& column : known) measurement.qualityColumns.push_back(column.name);
    measurement.silentTones = 0;
    for (std::size_t index = 1; index < lines.size(); ++index) {
        std::optional<ResponsePoint> point;
        QualityRow tone;
        bool silent = false;
        if (!parseCsvRow(lines[index], index, point, tone.frequency, silent, error)) return false;
        if (!parseQualityFields(lines[index], index, known, tone, error)) return false;
        if (!point && !(tone.frequency >= kLowestFrequencyHz && tone.frequency <= kHighestFrequencyHz)) {
            error = csvLineError(index, "a tone's frequency lies outside what a sweep plays");
            return false;
        }
        measurement.points.push_back(point);
        measurement.silentTones += silent ? 1 : 0;
        // Without quality columns there is nothing per tone to keep beyond the point.
        if (!known.empty()) measurement.quality.push_back(tone);
    }
    if (measurement.points.empty()) {
        error = "the file holds its column names but no tones";
        return false;
    }
    readFileWideValues(lines, measurement);
    return true;
}

// Counted before anything is parsed, so that a table of millions of tones costs
// no more than its text.
bool toneCountPlausible(const std::string& text, std::string& error) {
    // Report headers and the CSV's column line take far fewer than this.
    constexpr std::size_t kHeaderLines = 64;
    const auto lineCount = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (lineCount <= kMostTones + kHeaderLines) return true;
    error = "holds more than " + std::to_string(kMostTones) + " tones; a plot draws at most that many";
    return false;
}

bool readMeasurementFile(const std::string& path, Measurement& measurement, std::string& error) {
    measurement = Measurement{};
    measurement.path = path;
    std::string text;
    if (!readTextFile(path, text, error)) return false;
    if (!toneCountPlausible(text, error)) {
        error = path + ": " + error;
        return false;
    }
    // analyze marks the outputs of a failed run in their first line.
    constexpr std::string_view kFailed = "# failed: ";
    if (text.compare(0, kFailed.size(), kFailed) == 0) {
        error = path + ": the measurement failed (" + text.substr(kFailed.size(), text.find('\n') - kFailed.size()) +
                "); it is not drawn";
        return false;
    }
    const std::string_view columns = kCsvColumns;
    if (text.compare(0, columns.size(), columns) == 0) {
        if (parseCsvMeasurement(text, measurement, error) && checkPlausible(measurement, error)) return true;
        error = path + ", " + error;
        return false;
    }
    Report report;
    if (!parseReport(text, report, error)) {
        error = path + ", " + error;
        return false;
    }
    measurement.measuredFile = report.inputFile;
    measurement.sampleRate = report.sampleRate;
    measurement.points = responsePoints(report);
    for (const ReportTone& tone : report.tones) measurement.silentTones += tone.amplitude == 0.0 ? 1 : 0;
    if (checkPlausible(measurement, error)) return true;
    error = path + ", " + error;
    return false;
}

std::size_t drawnCount(const Measurement& measurement) {
    return static_cast<std::size_t>(std::count_if(measurement.points.begin(), measurement.points.end(),
                                                  [](const auto& p) { return p.has_value(); }));
}

bool normalizeAt(Measurement& measurement, double frequency, std::string& error) {
    std::vector<ResponsePoint> drawn;
    for (const auto& p : measurement.points)
        if (p) drawn.push_back(*p);
    std::sort(drawn.begin(), drawn.end(), [](const auto& a, const auto& b) { return a.frequency < b.frequency; });
    if (drawn.empty() || !(frequency >= drawn.front().frequency && frequency <= drawn.back().frequency)) {
        char text[200];
        std::snprintf(text, sizeof text, "--normalize %g Hz lies outside the measured frequencies (%g to %g Hz)",
                      frequency, drawn.empty() ? 0.0 : drawn.front().frequency,
                      drawn.empty() ? 0.0 : drawn.back().frequency);
        error = measurement.path + ": " + text;
        return false;
    }
    const auto above = std::lower_bound(drawn.begin(), drawn.end(), frequency,
                                        [](const ResponsePoint& p, double f) { return p.frequency < f; });
    double reference = above->magnitudeDb;
    if (above->frequency != frequency) {
        const ResponsePoint& below = *(above - 1);
        const double t = std::log(frequency / below.frequency) / std::log(above->frequency / below.frequency);
        reference = below.magnitudeDb + t * (above->magnitudeDb - below.magnitudeDb);
    }
    for (auto& p : measurement.points)
        if (p) p->magnitudeDb -= reference;
    return true;
}

}  // namespace auralyn::plot
