#pragma once

#include <string>
#include <vector>

#include "calibration/cal_file.h"

namespace auralyn::calibration {

// A line of a calibration file and where it stands, to name both in errors.
struct LineRef {
    const std::string& fileName;
    int number;
    std::string text;

    CalFileError error(const std::string& reason) const { return CalFileError(fileName, number, text, reason); }
};

// A data line begins with a number, after blanks or after a double quote
// (spreadsheets quote every field of a CSV export).
bool isDataLine(const std::string& line);

// The numbers of a data line, in order; the text after them is ignored where
// it begins with a letter or a comment sign. Throws for a malformed number, a
// decimal comma, an empty field between separators or stray characters.
std::vector<double> dataNumbers(const LineRef& line);

}  // namespace auralyn::calibration
