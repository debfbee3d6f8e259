#include "response_texts.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include <nlohmann/json.hpp>

namespace auralyn::test {

std::vector<double> logTones(int perOctave, double low, double high) {
    std::vector<double> tones;
    for (int k = static_cast<int>(std::ceil(perOctave * std::log2(low / 1000.0)));
         k <= static_cast<int>(std::floor(perOctave * std::log2(high / 1000.0))); ++k)
        tones.push_back(1000.0 * std::exp2(static_cast<double>(k) / perOctave));
    return tones;
}

// A CSV file in analyze's layout of the system h, phases unwrapped.
std::string csvOf(const std::vector<double>& tones, const std::function<std::complex<double>(double)>& h) {
    std::string text = "frequency_hz,amplitude,magnitude_db,phase_deg\n";
    double previous = 0.0;
    for (std::size_t i = 0; i < tones.size(); ++i) {
        const std::complex<double> v = h(tones[i]);
        double phase = std::arg(v) * 180.0 / kPi;
        if (i > 0) phase = previous + std::remainder(phase - previous, 360.0);
        previous = phase;
        char row[160];
        std::snprintf(row, sizeof row, "%.17g,%.17g,%.17g,%.17g\n", tones[i], 32767.0 * std::abs(v),
                      20.0 * std::log10(std::abs(v)), phase);
        text += row;
    }
    return text;
}

// The same as analyze's JSON, with a sample rate.
std::string jsonOf(const std::string& csv, double rate) {
    nlohmann::json doc;
    doc["sample_rate"] = rate;
    doc["tones"] = nlohmann::json::array();
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        double f, a, db, ph;
        std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &f, &a, &db, &ph);
        doc["tones"].push_back({{"frequency_hz", f}, {"amplitude", a}, {"magnitude_db", db}, {"phase_deg", ph}});
    }
    return doc.dump();
}

void writeText(const TempDir& dir, const std::string& name, const std::string& text) {
    test::writeFileBytes(dir.file(name), test::Bytes(text.begin(), text.end()));
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Column `name` of a CSV text, as numbers (NaN for an empty field).
std::vector<double> csvColumn(const std::string& text, const std::string& name) {
    const std::vector<std::string> rows = lines(text);
    std::vector<std::string> names;
    std::stringstream header(rows.at(0));
    for (std::string field; std::getline(header, field, ',');) names.push_back(field);
    std::size_t at = 0;
    while (at < names.size() && names[at] != name) ++at;
    EXPECT_LT(at, names.size()) << "no column " << name;
    std::vector<double> values;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        std::stringstream row(rows[r]);
        std::string field;
        for (std::size_t c = 0; c <= at; ++c) std::getline(row, field, ',');
        values.push_back(field.empty() ? NAN : std::stod(field));
    }
    return values;
}

}  // namespace auralyn::test
