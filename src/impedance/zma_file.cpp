#include "impedance/zma_file.h"

#include <cmath>
#include <complex>
#include <istream>
#include <ostream>
#include <sstream>

#include "impedance/estimate.h"
#include "platform/printed.h"

namespace auralyn::impedance {
namespace {

std::string fixed4(double v) { return platform::printed("%.4f", v); }

// Comments keep to printable ASCII so that every reader takes the file.
std::string asciiOnly(const std::string& text) {
    std::string out;
    for (char c : text) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return out;
}

bool parseNumber(std::istringstream& line, double& value) {
    std::string word;
    if (!(line >> word)) return false;
    std::istringstream in(word);
    in.imbue(std::locale::classic());
    return (in >> value) && in.peek() == std::char_traits<char>::eof() && std::isfinite(value);
}

std::string lineError(std::size_t number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

}  // namespace

void writeZma(std::ostream& out, const ImpedanceCurve& curve, const std::vector<std::string>& comments) {
    for (const std::string& comment : comments) out << "* " << asciiOnly(comment) << '\n';
    for (const ImpedancePoint& p : curve) {
        // The phase is rounded first so that -180.00004 cannot print as -180.0000 and +180 meet.
        double phase = std::round(phaseDegOf(p) * 1e4) / 1e4;
        if (phase <= -180.0) phase += 360.0;
        out << fixed4(p.frequency) << ' ' << fixed4(magnitudeOf(p)) << ' ' << fixed4(phase) << '\n';
    }
}

ZmaReading readZma(std::istream& in) {
    ZmaReading reading;
    std::string text;
    std::size_t number = 0;
    while (std::getline(in, text)) {
        if (++number > kMaxZmaLines) {
            reading.error = lineError(number, "more lines than an impedance file holds");
            break;
        }
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '*') continue;
        std::istringstream line(text);
        double frequency = 0.0, ohms = 0.0, degrees = 0.0;
        if (!parseNumber(line, frequency) || !parseNumber(line, ohms) || !parseNumber(line, degrees)) {
            reading.error = lineError(number, "not \"frequency ohms degrees\"");
            break;
        }
        if (!(frequency > 0.0) || !(ohms >= 0.0) || std::abs(degrees) > 180.0) {
            reading.error = lineError(number, "a frequency of 0 or less, negative ohms or a phase beyond +-180 degrees");
            break;
        }
        if (!reading.curve.empty() && !(frequency > reading.curve.back().frequency)) {
            reading.error = lineError(number, "the frequencies do not ascend");
            break;
        }
        ImpedancePoint p;
        p.frequency = frequency;
        p.ohms = std::polar(ohms, degrees * kPi / 180.0);
        reading.curve.push_back(p);
    }
    if (reading.error.empty() && reading.curve.empty()) reading.error = "no impedance lines in the file";
    if (!reading.error.empty()) reading.curve.clear();
    return reading;
}

}  // namespace auralyn::impedance
