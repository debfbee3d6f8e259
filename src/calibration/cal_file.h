#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace auralyn::calibration {

// One row of a calibration file: the response of the microphone (or the
// interface) at a frequency, as the file states it.
struct CalPoint {
    double frequencyHz = 0.0;
    double db = 0.0;
    std::optional<double> phaseDeg;  // third column, where the file has one
    std::optional<double> u95Db;     // fourth column: expanded uncertainty (k = 2) of db
};

// What a file's header says about the microphone's sensitivity.
struct CalHeader {
    std::optional<double> sensFactorDb;            // "Sens Factor =-1.378dB"
    std::optional<std::string> serialNumber;       // "SERNO: 7007184"
    std::optional<double> sensitivityDbv;          // "*1000Hz -38.6": dBV re 1 V/Pa
    std::optional<double> sensitivityFrequencyHz;  // the 1000 of that line
    int line = 0;                                  // where the sensitivity was stated
};

struct CalCurve {
    std::string fileName;
    CalHeader header;
    std::vector<CalPoint> points;  // at least two, frequencies strictly rising
};

// A file that cannot be read as a calibration file. line is 0 where the fault
// is the file's as a whole (empty, too few points, unreadable).
class CalFileError : public std::runtime_error {
public:
    CalFileError(std::string fileName, int line, std::string text, const std::string& reason);
    const std::string& fileName() const { return fileName_; }
    int line() const { return line_; }
    const std::string& text() const { return text_; }

private:
    std::string fileName_;
    int line_;
    std::string text_;
};

// Reads every dialect in circulation with one set of rules:
//  - a line that begins with a number (after blanks, or after a double quote)
//    is data: frequency, dB, optional phase in degrees, optional expanded
//    uncertainty in dB, separated by blanks, tabs, commas or semicolons; text
//    after the numbers that begins with a letter or a comment sign is ignored;
//  - every other line is a comment (it begins with *, ", #, ; or a word),
//    except the headers "Sens Factor =-1.378dB, SERNO: ..." and "*1000Hz -38.6";
//  - a malformed number ("--3.1221", "1.2.3", a decimal comma) is an error
//    naming the file, the line and its text, as are falling or repeated
//    frequencies, rows with another number of columns than the first, and a
//    file with fewer than two points.
CalCurve parseCalText(const std::string& text, const std::string& fileName);

// The same for a file on disk; files over a few megabytes are refused.
CalCurve readCalFile(const std::string& path);

}  // namespace auralyn::calibration
