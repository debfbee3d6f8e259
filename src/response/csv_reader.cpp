#include <cmath>

#include "response/reader_parts.h"
#include "response/response_reader.h"
#include "response/response_table.h"

namespace auralyn::response {
namespace {

using reading::numberField;

// Where each column the reader knows lies in a row (-1: absent).
struct CsvLayout {
    long frequency = -1, magnitude = -1, phase = -1, magnitudeU95 = -1, phaseU95 = -1;
    std::vector<std::size_t> extra;  // positions of the carried columns, in order
    std::size_t fields = 0;
};

CsvLayout layoutOf(const std::vector<std::string>& names, Response& response, const std::string& name) {
    CsvLayout layout;
    layout.fields = names.size();
    for (std::size_t c = 0; c < names.size(); ++c) {
        const std::string& column = names[c];
        const long at = static_cast<long>(c);
        if (column == "frequency_hz") layout.frequency = at;
        else if (column == "magnitude_db") layout.magnitude = at;
        else if (column == "phase_deg") layout.phase = at;
        else if (column == "magnitude_u95_db") layout.magnitudeU95 = at;
        else if (column == "phase_u95_deg") layout.phaseU95 = at;
        else if (!isDerivedColumn(column) && !column.empty()) {
            layout.extra.push_back(c);
            response.extraColumns.push_back(column);
        }
    }
    if (layout.frequency < 0 || layout.magnitude < 0 || layout.phase < 0)
        throw Error(name + ", line 1: expected the column names frequency_hz, magnitude_db and phase_deg");
    return layout;
}

std::string lineWhere(const std::string& name, std::size_t line, const std::string& column) {
    return name + ", line " + std::to_string(line) + ", column " + column;
}

// A level of -inf is how a silent tone may be written.
bool silentLevel(const std::string& field) { return field == "-inf" || field == "-Inf"; }

}  // namespace

ReadResponse parseCsvResponse(const std::string& text, const std::string& name) {
    const std::vector<std::string> lines = reading::textLines(text);
    if (lines.empty()) throw Error(name + ": the file is empty");
    ReadResponse read;
    Response& response = read.response;
    const CsvLayout layout = layoutOf(reading::splitLine(lines[0], ","), response, name);
    for (std::size_t l = 1; l < lines.size(); ++l) {
        if (lines[l].empty()) continue;
        const std::vector<std::string> fields = reading::splitLine(lines[l], ",");
        if (fields.size() != layout.fields)
            throw Error(name + ", line " + std::to_string(l + 1) + ": " + std::to_string(fields.size()) +
                        " fields where the column names promise " + std::to_string(layout.fields));
        const auto field = [&](long c, const char* column) {
            return numberField(fields[static_cast<std::size_t>(c)], lineWhere(name, l + 1, column));
        };
        const std::optional<double> frequency = field(layout.frequency, "frequency_hz");
        if (!frequency) throw Error(name + ", line " + std::to_string(l + 1) + ": the frequency is missing");
        const bool silent = silentLevel(fields[static_cast<std::size_t>(layout.magnitude)]);
        const std::optional<double> db = silent ? std::nullopt : field(layout.magnitude, "magnitude_db");
        const std::optional<double> degrees = field(layout.phase, "phase_deg");
        if (!db || !degrees) {
            ++read.silentTones;
            continue;
        }
        Tone tone = reading::toneOf(*frequency, *db, *degrees);
        if (layout.magnitudeU95 >= 0) tone.magnitudeU95Db = field(layout.magnitudeU95, "magnitude_u95_db");
        if (layout.phaseU95 >= 0) tone.phaseU95Deg = field(layout.phaseU95, "phase_u95_deg");
        for (std::size_t k = 0; k < layout.extra.size(); ++k)
            tone.extra.push_back(field(static_cast<long>(layout.extra[k]), response.extraColumns[k].c_str()));
        response.tones.push_back(std::move(tone));
    }
    reading::finish(response, name);
    return read;
}

}  // namespace auralyn::response
