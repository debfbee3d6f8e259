#include "impedance/impedance_table.h"

#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "impedance/estimate.h"
#include "impedance/zma_file.h"

namespace auralyn::impedance {
namespace {

constexpr const char* kColumns[] = {"frequency_hz", "impedance_ohm", "impedance_phase_deg", "impedance_u95_ohm",
                                    "impedance_phase_u95_deg"};

std::string shortest(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

ImpedancePoint pointFrom(double f, double ohms, double degrees, double u95, double phaseU95) {
    ImpedancePoint p;
    p.frequency = f;
    p.ohms = std::polar(ohms, degrees * kPi / 180.0);
    p.magnitudeU95 = u95;
    p.phaseU95Deg = phaseU95;
    return p;
}

// The checks every reader makes: frequencies ascend, values are finite and sensible.
std::string checkPoint(const ImpedanceCurve& curve, double f, double ohms, double degrees, double u95, double phaseU95) {
    for (double v : {f, ohms, degrees, u95, phaseU95})
        if (!std::isfinite(v)) return "a value that is not a finite number";
    if (!(f > 0.0) || ohms < 0.0 || u95 < 0.0 || phaseU95 < 0.0 || std::abs(degrees) > 180.0)
        return "a frequency of 0 or less, a negative magnitude or interval, or a phase beyond +-180 degrees";
    if (!curve.empty() && !(f > curve.back().frequency)) return "the frequencies do not ascend";
    return {};
}

// Adds a row (its values in the columns' order) to the curve once the checks
// every reader makes pass; otherwise leaves the curve alone and says why.
std::string addCheckedPoint(ImpedanceCurve& curve, const double (&v)[5]) {
    std::string problem = checkPoint(curve, v[0], v[1], v[2], v[3], v[4]);
    if (problem.empty()) curve.push_back(pointFrom(v[0], v[1], v[2], v[3], v[4]));
    return problem;
}

// A reading that failed: no curve, only the reason.
CurveReading refused(std::string error) {
    CurveReading r;
    r.error = std::move(error);
    return r;
}

CurveReading readJson(std::istream& in) {
    CurveReading r;
    const nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
    if (doc.is_discarded() || !doc.is_object() || !doc.contains("tones") || !doc["tones"].is_array())
        return refused("not an impedance JSON document (an object with \"tones\")");
    std::size_t index = 0;
    for (const nlohmann::json& tone : doc["tones"]) {
        ++index;
        double v[5] = {0, 0, 0, 0, 0};
        for (std::size_t k = 0; k < 5; ++k) {
            if (!tone.is_object() || !tone.contains(kColumns[k]) || !tone[kColumns[k]].is_number())
                return refused("tone " + std::to_string(index) + ": no number " + kColumns[k]);
            v[k] = tone[kColumns[k]].get<double>();
        }
        const std::string problem = addCheckedPoint(r.curve, v);
        if (!problem.empty()) return refused("tone " + std::to_string(index) + ": " + problem);
    }
    if (r.curve.empty()) r.error = "no tones in the document";
    return r;
}

std::vector<std::string> cellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    return cells;
}

bool parseCell(const std::string& text, double& value) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    return (in >> value) && (in >> std::ws).eof();
}

// Columns by their names in the header, in any order; further columns are ignored.
CurveReading readCsv(std::istream& in) {
    CurveReading r;
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> header = cellsOf(line);
    std::size_t column[5];
    for (std::size_t k = 0; k < 5; ++k) {
        std::size_t found = header.size();
        for (std::size_t c = 0; c < header.size(); ++c)
            if (header[c] == kColumns[k]) found = c;
        if (found == header.size()) return refused(std::string("line 1: no column ") + kColumns[k]);
        column[k] = found;
    }
    for (std::size_t number = 2; std::getline(in, line) && number <= kMaxZmaLines; ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::vector<std::string> cells = cellsOf(line);
        double v[5] = {0, 0, 0, 0, 0};
        std::string problem;
        for (std::size_t k = 0; k < 5 && problem.empty(); ++k)
            if (column[k] >= cells.size() || !parseCell(cells[column[k]], v[k])) problem = "a missing or broken number";
        if (problem.empty()) problem = addCheckedPoint(r.curve, v);
        if (!problem.empty()) return refused("line " + std::to_string(number) + ": " + problem);
    }
    if (r.curve.empty()) r.error = "no tones in the table";
    return r;
}

}  // namespace

void writeImpedanceCsv(std::ostream& out, const ImpedanceCurve& curve) {
    out << "frequency_hz,impedance_ohm,impedance_phase_deg,impedance_u95_ohm,impedance_phase_u95_deg,drive_dbfs,drive_volts\n";
    for (const ImpedancePoint& p : curve) {
        out << shortest(p.frequency) << ',' << shortest(magnitudeOf(p)) << ',' << shortest(phaseDegOf(p)) << ','
            << shortest(p.magnitudeU95) << ',' << shortest(p.phaseU95Deg) << ','
            << (p.driveDbfs ? shortest(*p.driveDbfs) : std::string()) << ','
            << (p.driveVolts ? shortest(*p.driveVolts) : std::string()) << '\n';
    }
}

nlohmann::json impedanceJson(const ImpedanceCurve& curve, const nlohmann::json& about) {
    nlohmann::json doc = about.is_object() ? about : nlohmann::json::object();
    nlohmann::json tones = nlohmann::json::array();
    for (const ImpedancePoint& p : curve) {
        nlohmann::json t = {{"frequency_hz", p.frequency},       {"impedance_ohm", magnitudeOf(p)},
                            {"impedance_phase_deg", phaseDegOf(p)}, {"impedance_u95_ohm", p.magnitudeU95},
                            {"impedance_phase_u95_deg", p.phaseU95Deg}};
        t["drive_dbfs"] = p.driveDbfs ? nlohmann::json(*p.driveDbfs) : nlohmann::json(nullptr);
        t["drive_volts"] = p.driveVolts ? nlohmann::json(*p.driveVolts) : nlohmann::json(nullptr);
        tones.push_back(t);
    }
    doc["tones"] = tones;
    return doc;
}

CurveReading readImpedanceCurve(std::istream& in) {
    in >> std::ws;
    const int first = in.peek();
    if (first == '{') return readJson(in);
    if (first == 'f') return readCsv(in);
    ZmaReading zma = readZma(in);
    return {std::move(zma.curve), std::move(zma.error)};
}

}  // namespace auralyn::impedance
