#include "simulation/driver_wiring.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/printed.h"

namespace auralyn::simulation {
namespace {

constexpr double kTwoPi = 6.283185307179586;
// Air at 20 degrees C: density in kg/m^3 times the speed of sound (m/s) squared.
constexpr double kRhoCSquared = 1.2041 * 343.21 * 343.21;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool parseValue(const std::string& text, double& value, std::string& unit) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || errno == ERANGE || !std::isfinite(value)) return false;
    unit = lower(end);
    return true;
}

// Henries from "0.45mH", "450uH", "0.00045H" or a bare "0.45" (mH).
bool inductance(const std::string& unit, double& value) {
    if (unit.empty() || unit == "mh") value *= 1e-3;
    else if (unit == "uh") value *= 1e-6;
    else if (unit != "h") return false;
    return true;
}

struct Field {
    double DriverSpec::*member;
    double low;
    double high;
    bool isInductance;
    bool required;
};

const std::map<std::string, Field>& fields() {
    static const std::map<std::string, Field> known = {
        {"re", {&DriverSpec::re, 0.01, 1000.0, false, true}},   {"le", {&DriverSpec::le, 0.0, 1.0, true, true}},
        {"fs", {&DriverSpec::fs, 1.0, 20000.0, false, true}},   {"qms", {&DriverSpec::qms, 0.05, 1000.0, false, true}},
        {"qes", {&DriverSpec::qes, 0.01, 1000.0, false, true}}, {"l2", {&DriverSpec::l2, 0.0, 1.0, true, false}},
        {"r2", {&DriverSpec::r2, 0.0, 1e6, false, false}},
    };
    return known;
}

std::string number(double v) { return platform::printed("%g", v); }

bool parseField(const std::string& word, DriverSpec& driver, std::map<std::string, bool>& seen, std::string& error) {
    const std::size_t equals = word.find('=');
    const std::string name = lower(word.substr(0, equals));
    const auto field = fields().find(name);
    if (equals == std::string::npos || field == fields().end()) {
        error = "--driver: '" + word + "' is not NAME=VALUE with NAME one of Re, Le, fs, Qms, Qes, L2, R2";
        return false;
    }
    if (seen[name]) {
        error = "--driver: " + name + " given twice";
        return false;
    }
    seen[name] = true;
    double value = 0.0;
    std::string unit;
    const std::string text = word.substr(equals + 1);
    const bool unitOk = parseValue(text, value, unit) &&
                        (field->second.isInductance ? inductance(unit, value) : (unit.empty() || unit == "ohm" || unit == "hz"));
    if (!unitOk) {
        error = "--driver: '" + text + "' is not a value for " + name +
                (field->second.isInductance ? " (H, mH or uH)" : "");
        return false;
    }
    if (value < field->second.low || value > field->second.high) {
        error = "--driver: " + name + " " + text + " lies outside " + number(field->second.low) + " to " +
                number(field->second.high) + (field->second.isInductance ? " H" : "");
        return false;
    }
    driver.*(field->second.member) = value;
    return true;
}

double mmsOf(const DriverWiring& w) {
    const double sd = *w.sdSquareCm * 1e-4;
    const double cms = *w.vasLitres * 1e-3 / (kRhoCSquared * sd * sd);
    return 1.0 / (std::pow(kTwoPi * w.driver.fs, 2) * cms);
}

}  // namespace

bool parseDriverSpec(const std::string& text, DriverSpec& driver, std::string& error) {
    driver = DriverSpec{};
    std::map<std::string, bool> seen;
    std::istringstream words(text);
    std::string word;
    while (words >> word)
        if (!parseField(word, driver, seen, error)) return false;
    for (const auto& [name, field] : fields()) {
        if (field.required && !seen[name]) {
            error = "--driver: " + name + "= is missing (give Re, Le, fs, Qms and Qes)";
            return false;
        }
    }
    if ((driver.l2 > 0.0) != (driver.r2 > 0.0)) {
        error = "--driver: L2 and R2 go together";
        return false;
    }
    return true;
}

std::string checkWiring(const DriverWiring& w) {
    if (!(w.senseOhms > 0.0)) return "--driver needs --sense-resistor OHMS above 0";
    if (w.addedMassGrams && w.boxLitres) return "--added-mass and --box-litres go one at a time";
    if ((w.addedMassGrams || w.boxLitres) && (!w.sdSquareCm || !w.vasLitres))
        return "--added-mass and --box-litres need the driver's --sd CM2 and --vas L";
    return {};
}

DriverSpec loadedDriver(const DriverWiring& w) {
    DriverSpec d = w.driver;
    double massRatio = 1.0;
    double stiffnessRatio = 1.0;
    if (w.addedMassGrams) massRatio = 1.0 + *w.addedMassGrams * 1e-3 / mmsOf(w);
    if (w.boxLitres) stiffnessRatio = 1.0 + *w.vasLitres / *w.boxLitres;
    d.fs = w.driver.fs * std::sqrt(stiffnessRatio / massRatio);
    const double q = std::sqrt(massRatio * stiffnessRatio);
    d.qms = w.driver.qms * q;
    d.qes = w.driver.qes * q;
    return d;
}

std::complex<double> driverImpedance(const DriverSpec& d, double frequency) {
    const double ws = kTwoPi * d.fs;
    const double ces = d.qes / (ws * d.re);
    const double les = 1.0 / (ws * ws * ces);
    const double res = d.qms / (ws * ces);
    const std::complex<double> jw(0.0, kTwoPi * frequency);
    const std::complex<double> motional = 1.0 / (1.0 / res + jw * ces + 1.0 / (jw * les));
    std::complex<double> coil = d.re + jw * d.le;
    if (d.l2 > 0.0 && d.r2 > 0.0) coil += 1.0 / (1.0 / d.r2 + 1.0 / (jw * d.l2));
    return coil + motional;
}

std::complex<double> wiringRatio(const DriverWiring& w, double frequency) {
    // At 0 Hz the suspension's inductance shorts the motional branch: only Re remains.
    if (frequency <= 0.0) return w.driver.re / (w.senseOhms + w.driver.re);
    const std::complex<double> z = driverImpedance(loadedDriver(w), frequency);
    return z / (w.senseOhms + z);
}

std::string describeWiring(const DriverWiring& w) {
    const DriverSpec d = loadedDriver(w);
    std::string text = "a driver (Re " + number(d.re) + " ohm, Le " + number(d.le * 1e3) + " mH, fs " + number(d.fs) +
                       " Hz, Qms " + number(d.qms) + ", Qes " + number(d.qes);
    if (d.l2 > 0.0) text += ", L2 " + number(d.l2 * 1e3) + " mH, R2 " + number(d.r2) + " ohm";
    text += ") behind " + number(w.senseOhms) + " ohm";
    if (w.addedMassGrams) text += ", with " + number(*w.addedMassGrams) + " g added";
    if (w.boxLitres) text += ", in a " + number(*w.boxLitres) + " l box";
    return text;
}

}  // namespace auralyn::simulation
