#include "calibration/cal_file.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string_view>

#include "calibration/cal_header.h"
#include "calibration/cal_line.h"

namespace auralyn::calibration {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 8u << 20;  // far more than any published table

std::string describe(const std::string& fileName, int line, const std::string& text, const std::string& reason) {
    std::string message = fileName;
    if (line > 0) message += " line " + std::to_string(line);
    message += ": " + reason;
    if (!text.empty()) message += ": " + text;
    return message;
}

std::string_view withoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

std::string_view withoutByteOrderMark(std::string_view text) {
    constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (text.substr(0, bom.size()) == bom) text.remove_prefix(bom.size());
    return text;
}

CalPoint pointFrom(const std::vector<double>& numbers) {
    CalPoint point;
    point.frequencyHz = numbers[0];
    point.db = numbers[1];
    if (numbers.size() > 2) point.phaseDeg = numbers[2];
    if (numbers.size() > 3) point.u95Db = numbers[3];
    return point;
}

// The rules a row must keep beyond its numbers being numbers.
void checkRow(const LineRef& where, const std::vector<double>& numbers, std::size_t firstColumns, int firstLine,
              const CalCurve& curve) {
    if (numbers.size() < 2) throw where.error("a data row needs a frequency and a level");
    if (numbers.size() > 4) throw where.error("more than four numbers in a row (frequency, dB, phase, uncertainty)");
    if (firstColumns != 0 && numbers.size() != firstColumns) {
        throw where.error(std::to_string(numbers.size()) + " columns where line " + std::to_string(firstLine) +
                          " has " + std::to_string(firstColumns));
    }
    if (!(numbers[0] > 0.0)) throw where.error("frequencies must be above 0 Hz");
    if (numbers.size() > 3 && numbers[3] < 0.0) throw where.error("an uncertainty cannot be negative");
    if (curve.points.empty()) return;
    const double previous = curve.points.back().frequencyHz;
    if (numbers[0] == previous) throw where.error("frequency repeated");
    if (numbers[0] < previous) throw where.error("frequencies must rise from row to row");
}

}  // namespace

CalFileError::CalFileError(std::string fileName, int line, std::string text, const std::string& reason)
    : std::runtime_error(describe(fileName, line, text, reason)),
      fileName_(std::move(fileName)),
      line_(line),
      text_(std::move(text)) {}

CalCurve parseCalText(const std::string& text, const std::string& fileName) {
    CalCurve curve;
    curve.fileName = fileName;
    std::istringstream lines{std::string(withoutByteOrderMark(text))};
    std::string raw;
    int lineNumber = 0;
    std::size_t firstColumns = 0;
    int firstLine = 0;
    while (std::getline(lines, raw)) {
        ++lineNumber;
        const LineRef where{fileName, lineNumber, std::string(withoutLineEnd(raw))};
        if (!isDataLine(where.text)) {
            readHeaderLine(where, curve.header);
            continue;
        }
        const std::vector<double> numbers = dataNumbers(where);
        checkRow(where, numbers, firstColumns, firstLine, curve);
        if (firstColumns == 0) {
            firstColumns = numbers.size();
            firstLine = lineNumber;
        }
        curve.points.push_back(pointFrom(numbers));
    }
    if (curve.points.empty()) throw CalFileError(fileName, 0, "", "no data rows (frequency and dB) in the file");
    if (curve.points.size() < 2) throw CalFileError(fileName, 0, "", "a calibration needs at least two data rows");
    return curve;
}

CalCurve readCalFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CalFileError(path, 0, "", "cannot open the file");
    std::ostringstream content;
    char buffer[65536];
    std::uintmax_t total = 0;
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        total += static_cast<std::uintmax_t>(file.gcount());
        if (total > kMaxFileBytes) throw CalFileError(path, 0, "", "too large for a calibration file (over 8 MB)");
        content.write(buffer, file.gcount());
    }
    if (file.bad()) throw CalFileError(path, 0, "", "cannot read the file");
    return parseCalText(content.str(), path);
}

}  // namespace auralyn::calibration
