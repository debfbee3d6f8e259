#include <cstdlib>

#include "response/reader_parts.h"
#include "response/response_reader.h"

namespace auralyn::response {
namespace {

// The numbers of a row: fields split at spaces, tabs, commas or semicolons,
// empty fields (runs of spaces) skipped.
std::vector<std::string> rowFields(const std::string& line) {
    std::vector<std::string> fields;
    for (std::string& field : reading::splitLine(line, " \t,;"))
        if (!field.empty()) fields.push_back(std::move(field));
    return fields;
}

bool startsWithNumber(const std::vector<std::string>& fields) {
    if (fields.empty()) return false;
    char* end = nullptr;
    std::strtod(fields[0].c_str(), &end);
    return end != fields[0].c_str();
}

bool isComment(const std::string& line) {
    const auto first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '*' || line[first] == '#';
}

}  // namespace

ReadResponse parseFrdResponse(const std::string& text, const std::string& name) {
    ReadResponse read;
    bool inRows = false;
    const std::vector<std::string> lines = reading::textLines(text);
    for (std::size_t l = 0; l < lines.size(); ++l) {
        if (isComment(lines[l])) continue;
        const std::vector<std::string> fields = rowFields(lines[l]);
        if (!inRows && !startsWithNumber(fields)) continue;  // a header line of another tool
        inRows = true;
        const std::string where = name + ", line " + std::to_string(l + 1);
        if (fields.size() < 2) throw Error(where + ": expected 'frequency dB [degrees]'");
        const double frequency = *reading::numberField(fields[0], where);
        const double db = *reading::numberField(fields[1], where);
        const double degrees = fields.size() >= 3 ? *reading::numberField(fields[2], where) : 0.0;
        read.response.tones.push_back(reading::toneOf(frequency, db, degrees));
    }
    if (read.response.tones.empty()) throw Error(name + ": no rows of 'frequency dB [degrees]': not a response");
    reading::finish(read.response, name);
    return read;
}

}  // namespace auralyn::response
