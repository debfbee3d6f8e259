#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace auralyn::response {

// Why an operation cannot give an honest answer (a curve too short for its
// smoothing, inputs that do not belong together, a file that is not a
// response). The text names what is wrong and is meant for the user.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a tone's value owes to something other than its own measurement.
enum ToneFlag : std::uint32_t {
    kInterpolated = 1u << 0,   // taken between measured tones (another tone list, a log grid)
    kWindowCut = 1u << 1,      // its smoothing window reaches past the curve's end
    kPhaseDisagrees = 1u << 2  // the averaged inputs' phases disagree here beyond their intervals
};

// One tone of a frequency response. The value is kept in polar form with the
// phase continuous along the tones (as the measurement unwrapped it), since a
// complex number alone loses the turns that group delay and delay need.
struct Tone {
    double frequency = 0.0;  // Hz
    double magnitude = 0.0;  // |H|; 1 is the full-scale test tone
    double phase = 0.0;      // radians, continuous from tone to tone
    std::optional<double> magnitudeU95Db;  // half-width of the 95 % interval of the magnitude
    std::optional<double> phaseU95Deg;     // the same for the phase
    std::uint32_t flags = 0;               // ToneFlag bits
    std::vector<std::optional<double>> extra;  // one per Response::extraColumns

    std::complex<double> value() const { return std::polar(magnitude, phase); }
    double magnitudeDb() const;
    double phaseDeg() const;
};

// A measured (or derived) response: tones in increasing frequency.
struct Response {
    std::vector<Tone> tones;
    std::vector<std::string> extraColumns;  // columns carried along from the input, by name
    std::optional<double> sampleRate;       // Hz, where the source says
    double delayRemoved = 0.0;              // seconds taken out of the phase so far
    // The time reference, where the source names one: the loopback channel
    // the response was divided by (whose delay that division took out), and
    // the reference's own delay still in the phase, where the source states it.
    std::optional<int> referenceChannel;
    std::optional<double> referenceDelay;  // seconds
};

inline constexpr double kFullScale = 32767.0;
inline constexpr double kPi = 3.14159265358979323846;

double decibels(double magnitude);      // 20 log10
double fromDecibels(double db);         // its inverse
double toDegrees(double radians);
double toRadians(double degrees);

// Throws Error (prefixed with `name`) unless the response has at least two
// tones, frequencies finite, positive and strictly increasing, magnitudes
// finite and positive, phases finite, and every tone as many extra values as
// there are extra columns.
void checkResponse(const Response& response, const std::string& name);

// Copies of the tones' frequencies, magnitudes in dB, and phases.
std::vector<double> frequencies(const Response& response);
std::vector<double> magnitudesDb(const Response& response);
std::vector<double> phases(const Response& response);

}  // namespace auralyn::response
