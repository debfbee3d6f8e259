#include "response/frequency_table.h"

#include <cmath>
#include <cstdio>

#include "response/phase.h"

namespace auralyn::response {
namespace {

std::string asciiOnly(const std::string& text) {
    std::string out;
    for (char c : text) out += (c >= 0x20 && c < 0x7f) ? c : '?';
    return out;
}

// "%.4f" never writes "-0.0000": a value that rounds to zero is written as zero.
std::string fourDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    if (std::string(text) == "-0.0000") return "0.0000";
    return text;
}

}  // namespace

std::string frequencyTableText(const std::vector<std::string>& comments, const std::vector<TableRow>& rows) {
    std::string text;
    for (const std::string& comment : comments) text += "* " + asciiOnly(comment) + "\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TableRow& row = rows[i];
        if (!std::isfinite(row.frequency) || !std::isfinite(row.value) || !std::isfinite(row.degrees))
            throw Error("a row of the table holds a number that is not finite");
        if (i > 0 && !(row.frequency > rows[i - 1].frequency))
            throw Error("the table's frequencies must increase");
        text += fourDecimals(row.frequency) + ' ' + fourDecimals(row.value) + ' ' + fourDecimals(row.degrees) + '\n';
    }
    return text;
}

std::string frdText(const Response& response, const std::vector<std::string>& comments, bool unwrapped) {
    std::vector<TableRow> rows;
    rows.reserve(response.tones.size());
    for (const Tone& tone : response.tones) {
        const double degrees = unwrapped ? tone.phaseDeg() : wrapDegrees(tone.phaseDeg());
        rows.push_back({tone.frequency, tone.magnitudeDb(), degrees});
    }
    return frequencyTableText(comments, rows);
}

}  // namespace auralyn::response
