#include "plot/report_reader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>
#include <system_error>

namespace auralyn::plot {
namespace {

constexpr std::string_view kColumnLine = "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The whole text must be one number, as printf wrote it ("nan" and "inf" included).
bool parseDouble(std::string_view text, double& value) {
    const std::string copy(trimmed(text));
    if (copy.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && errno != ERANGE;
}

bool parseUnsigned(std::string_view text, std::uint32_t& value) {
    text = trimmed(text);
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (result > std::numeric_limits<std::uint32_t>::max()) return false;
    value = static_cast<std::uint32_t>(result);
    return true;
}

// Splits "prefix VALUE suffix"; false when the line does not have that shape.
bool valueBetween(std::string_view line, std::string_view prefix, std::string_view suffix, std::string_view& value) {
    if (line.size() < prefix.size() + suffix.size()) return false;
    if (line.substr(0, prefix.size()) != prefix || line.substr(line.size() - suffix.size()) != suffix) return false;
    value = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
    return !value.empty();
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // written in text mode on Windows
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();  // blank lines after the table
    return lines;
}

std::string lineError(std::size_t index, const std::string& what) {
    return "line " + std::to_string(index + 1) + ": " + what;
}

struct HeaderField {
    std::string_view prefix;
    std::string_view suffix;
    const char* shape;
};

constexpr HeaderField kNumberFields[] = {
    {"Sampling rate, ", " Hz", "Sampling rate, <Hz> Hz"},
    {"Minimum tone duration, ", " sec", "Minimum tone duration, <seconds> sec"},
    {"Tones per sync pulse, ", "", "Tones per sync pulse, <count>"},
    {"Settling time, ", " sec", "Settling time, <seconds> sec"},
    {"Minimum cycles per tone, ", "", "Minimum cycles per tone, <count>"},
    {"Maximum fractional cycle, ", "", "Maximum fractional cycle, <cycles>"},
    {"Maximum extra samples, ", "", "Maximum extra samples, <count>"},
    {"Maximum time drift, ", " sec", "Maximum time drift, <seconds> sec"},
};

bool parseHeaderNumber(std::string_view line, std::size_t field, Report& report) {
    std::string_view value;
    const HeaderField& shape = kNumberFields[field];
    if (!valueBetween(line, shape.prefix, shape.suffix, value)) return false;
    switch (field) {
    case 0: return parseUnsigned(value, report.sampleRate);
    case 1: return parseDouble(value, report.minToneDuration);
    case 2: return parseUnsigned(value, report.tonesPerSyncPulse);
    case 3: return parseDouble(value, report.settlingTime);
    case 4: return parseUnsigned(value, report.minCyclesPerTone);
    case 5: return parseDouble(value, report.maxFractionalCycle);
    case 6: return parseUnsigned(value, report.maxExtraSamples);
    default: return parseDouble(value, report.maxTimeDrift);
    }
}

bool parseHeader(const std::vector<std::string_view>& lines, Report& report, std::string& error) {
    std::string_view name;
    if (lines.empty() || !valueBetween(lines[0], "Input file, \"", "\"", name)) {
        error = lineError(0, "expected 'Input file, \"<name>\"': this is not a measurement report");
        return false;
    }
    report.inputFile = std::string(name);
    for (std::size_t field = 0; field < std::size(kNumberFields); ++field) {
        const std::size_t index = field + 1;
        if (index >= lines.size() || !parseHeaderNumber(lines[index], field, report)) {
            error = lineError(index, std::string("expected '") + kNumberFields[field].shape +
                                         "': this is not a complete measurement report");
            return false;
        }
    }
    if (report.sampleRate == 0) {
        error = lineError(1, "a sampling rate of 0 Hz");
        return false;
    }
    return true;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t comma = line.find(',');
        fields.push_back(trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) return fields;
        line.remove_prefix(comma + 1);
    }
}

bool parseOptionalCell(std::string_view cell, bool allowMinusInf, std::optional<double>& value) {
    if (cell == "undef") {
        value.reset();
        return true;
    }
    if (allowMinusInf && cell == "-Inf") {
        value = -std::numeric_limits<double>::infinity();
        return true;
    }
    double number = 0.0;
    if (!parseDouble(cell, number)) return false;
    value = number;
    return true;
}

bool parseToneLine(std::string_view line, std::size_t index, ReportTone& tone, std::string& error) {
    const std::vector<std::string_view> cells = splitFields(line);
    if (cells.size() != 5) {
        error = lineError(index, "expected 5 comma-separated values (frequency, amplitude, normalised amplitude, "
                                 "normalised dB, phase), found " + std::to_string(cells.size()));
        return false;
    }
    if (!parseDouble(cells[0], tone.frequency) || !(tone.frequency > 0.0) || std::isinf(tone.frequency)) {
        error = lineError(index, "the frequency '" + std::string(cells[0]) + "' is not a positive number");
        return false;
    }
    if (!parseDouble(cells[1], tone.amplitude)) {
        error = lineError(index, "the amplitude '" + std::string(cells[1]) + "' is not a number");
        return false;
    }
    if (!parseOptionalCell(cells[2], false, tone.normalised) || !parseOptionalCell(cells[3], true, tone.normalisedDb)) {
        error = lineError(index, "the normalised amplitude columns hold neither numbers nor 'undef'/'-Inf'");
        return false;
    }
    if (!parseDouble(cells[4], tone.phaseDegrees)) {
        error = lineError(index, "the phase '" + std::string(cells[4]) + "' is not a number");
        return false;
    }
    return true;
}

}  // namespace

bool parseReport(const std::string& text, Report& report, std::string& error) {
    report = Report{};
    std::vector<std::string_view> lines = splitLines(text);
    if (!parseHeader(lines, report, error)) return false;
    if (lines.size() <= 9) {
        error = "the report holds its header but no results: the measurement failed or found no tones";
        return false;
    }
    if (lines[9] != kColumnLine) {
        error = lineError(9, "expected the column line '" + std::string(kColumnLine) + "'");
        return false;
    }
    for (std::size_t index = 10; index < lines.size(); ++index) {
        ReportTone tone;
        if (!parseToneLine(lines[index], index, tone, error)) return false;
        report.tones.push_back(tone);
    }
    if (report.tones.empty()) {
        error = "the report's table has no lines";
        return false;
    }
    return true;
}

bool readTextFile(const std::string& path, std::string& text, std::string& error) {
    std::error_code failure;
    const std::uintmax_t size = std::filesystem::file_size(path, failure);
    if (failure) {
        error = path + ": cannot be read (" + failure.message() + ")";
        return false;
    }
    if (size > kMaxReportBytes) {
        error = path + ": too large to be a measurement report";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    text = content.str();
    return true;
}

bool readReportFile(const std::string& path, Report& report, std::string& error) {
    std::string text;
    if (!readTextFile(path, text, error)) return false;
    if (!parseReport(text, report, error)) {
        error = path + ", " + error;
        return false;
    }
    return true;
}

}  // namespace auralyn::plot
