#include "response/response.h"

#include <cmath>

#include "platform/printed.h"

namespace auralyn::response {
namespace {

std::string hertz(double frequency) { return platform::printed("%.6g Hz", frequency); }

void checkTone(const Tone& tone, std::size_t extraColumns, const std::string& name) {
    if (!std::isfinite(tone.frequency) || !(tone.frequency > 0.0))
        throw Error(name + ": a tone's frequency is not a finite positive number");
    if (!std::isfinite(tone.magnitude) || !(tone.magnitude > 0.0))
        throw Error(name + ": the magnitude at " + hertz(tone.frequency) + " is not a finite level");
    if (!std::isfinite(tone.phase)) throw Error(name + ": the phase at " + hertz(tone.frequency) + " is not finite");
    if (tone.extra.size() != extraColumns)
        throw Error(name + ": the tone at " + hertz(tone.frequency) + " lacks some of the columns");
}

}  // namespace

double Tone::magnitudeDb() const { return decibels(magnitude); }
double Tone::phaseDeg() const { return toDegrees(phase); }

double decibels(double magnitude) { return 20.0 * std::log10(magnitude); }
double fromDecibels(double db) { return std::pow(10.0, db / 20.0); }
double toDegrees(double radians) { return radians * (180.0 / kPi); }
double toRadians(double degrees) { return degrees * (kPi / 180.0); }

void checkResponse(const Response& response, const std::string& name) {
    if (response.tones.size() < 2)
        throw Error(name + ": a response needs at least two tones, this one has " +
                    std::to_string(response.tones.size()));
    for (std::size_t i = 0; i < response.tones.size(); ++i) {
        checkTone(response.tones[i], response.extraColumns.size(), name);
        if (i > 0 && !(response.tones[i].frequency > response.tones[i - 1].frequency))
            throw Error(name + ": the frequencies must increase, but " + hertz(response.tones[i].frequency) +
                        " follows " + hertz(response.tones[i - 1].frequency));
    }
}

std::vector<double> frequencies(const Response& response) {
    std::vector<double> out;
    out.reserve(response.tones.size());
    for (const Tone& tone : response.tones) out.push_back(tone.frequency);
    return out;
}

std::vector<double> magnitudesDb(const Response& response) {
    std::vector<double> out;
    out.reserve(response.tones.size());
    for (const Tone& tone : response.tones) out.push_back(tone.magnitudeDb());
    return out;
}

std::vector<double> phases(const Response& response) {
    std::vector<double> out;
    out.reserve(response.tones.size());
    for (const Tone& tone : response.tones) out.push_back(tone.phase);
    return out;
}

}  // namespace auralyn::response
