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
    long sampleRate = -1, referenceChannel = -1, referenceDelay = -1;  // the JSON's summary, as columns of one value
    std::vector<std::size_t> extra;  // positions of the carried columns, in order
    std::size_t fields = 0;
};

CsvLayout layoutOf(const std::vector<std::string>& names, Response& response, const std::string& name,
                   std::size_t line) {
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
        else if (column == "sample_rate_hz") layout.sampleRate = at;
        else if (column == "reference_channel") layout.referenceChannel = at;
        else if (column == "reference_delay_s") layout.referenceDelay = at;
        else if (!isDerivedColumn(column) && !column.empty()) {
            layout.extra.push_back(c);
            response.extraColumns.push_back(column);
        }
    }
    if (layout.frequency < 0 || layout.magnitude < 0 || layout.phase < 0)
        throw Error(name + ", line " + std::to_string(line) +
                    ": expected the column names frequency_hz, magnitude_db and phase_deg");
    return layout;
}

std::string lineWhere(const std::string& name, std::size_t line, const std::string& column) {
    return name + ", line " + std::to_string(line) + ", column " + column;
}

// A column that holds one value for the whole response: the same in every
// row that has it.
void takeConstant(std::optional<double> value, std::optional<double>& into, const std::string& where) {
    if (!value) return;
    if (into && *into != *value) throw Error(where + ": differs from the rows above; it must be one value for the whole file");
    into = value;
}

// A level of -inf is how a silent tone may be written.
bool silentLevel(const std::string& field) { return field == "-inf" || field == "-Inf"; }

}  // namespace

ReadResponse parseCsvResponse(const std::string& text, const std::string& name) {
    const std::vector<std::string> lines = reading::textLines(text);
    ReadResponse read;
    Response& response = read.response;
    const std::size_t header = reading::readCsvComments(lines, response, name);
    if (header >= lines.size()) throw Error(name + ": the file is empty");
    const CsvLayout layout = layoutOf(reading::splitLine(lines[header], ","), response, name, header + 1);
    std::optional<double> sampleRate, referenceChannel, referenceDelay;
    for (std::size_t l = header + 1; l < lines.size(); ++l) {
        if (lines[l].empty()) continue;
        const std::vector<std::string> fields = reading::splitLine(lines[l], ",");
        if (fields.size() != layout.fields)
            throw Error(name + ", line " + std::to_string(l + 1) + ": " + std::to_string(fields.size()) +
                        " fields where the column names promise " + std::to_string(layout.fields));
        const auto field = [&](long c, const char* column) {
            return numberField(fields[static_cast<std::size_t>(c)], lineWhere(name, l + 1, column));
        };
        if (layout.sampleRate >= 0)
            takeConstant(field(layout.sampleRate, "sample_rate_hz"), sampleRate, lineWhere(name, l + 1, "sample_rate_hz"));
        if (layout.referenceChannel >= 0)
            takeConstant(field(layout.referenceChannel, "reference_channel"), referenceChannel,
                         lineWhere(name, l + 1, "reference_channel"));
        if (layout.referenceDelay >= 0)
            takeConstant(field(layout.referenceDelay, "reference_delay_s"), referenceDelay,
                         lineWhere(name, l + 1, "reference_delay_s"));
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
    if (sampleRate) {
        if (!(*sampleRate > 0.0)) throw Error(lineWhere(name, header + 2, "sample_rate_hz") + ": not a sampling rate");
        response.sampleRate = sampleRate;
    }
    if (referenceDelay) response.referenceDelay = referenceDelay;
    if (referenceChannel)
        response.referenceChannel = reading::channelNumber(referenceChannel, lineWhere(name, header + 2, "reference_channel"));
    reading::finish(response, name);
    return read;
}

}  // namespace auralyn::response
