#pragma once

#include <optional>
#include <string>
#include <vector>

#include "response/response.h"

namespace auralyn::response {

// A response with the name it is reported by (its file).
struct NamedResponse {
    std::string name;
    Response response;
};

// vector: mean of H (needs a common time reference); power: root of the mean
// of |H|²; db: mean of the levels in dB. Power and dB averages take the
// phase of the mean of the unit phasors (the circular mean).
enum class AverageMode { vector, power, db };

struct AverageOptions {
    AverageMode mode = AverageMode::power;
    std::optional<double> alignLevelHz;  // level every input to the first's at this frequency first
    bool force = false;                  // vector-average even inputs whose phases disagree
};

struct Average {
    Response response;
    std::vector<double> spreadDb;    // per tone: sample standard deviation of the inputs' levels
    std::vector<std::string> notes;  // what was done beyond the plain average (interpolation, levelling)
};

// Averages responses tone by tone. Inputs whose tones differ from the
// first's are interpolated onto its tones (those inside every input), and a
// note says so. Each result tone's 95 % intervals are the inputs' own
// propagated through the average (GUM, first order, inputs independent);
// none where an input has none.
// Throws Error naming the input when fewer than two are given, when sample
// rates differ, when the inputs share fewer than two tones, when
// alignLevelHz lies outside an input, or, for a vector average without
// force, when an input's phase disagrees with the first's beyond their
// intervals (more than 3 standard deviations of the difference, or 20°
// where there are no intervals) at more than 5 % of the tones.
Average average(const std::vector<NamedResponse>& inputs, const AverageOptions& options);

// A over B, complex, tone by tone on A's tones (B interpolated where its
// tones differ), intervals combined as for independent inputs.
Response difference(const NamedResponse& a, const NamedResponse& b);

// The level in dB at a frequency within the response (log-axis interpolation).
double levelAt(const Response& response, double frequency);

// Inputs on the first's tones: each input's tones as they are when they
// match the first's, else interpolated onto the first's tones that lie
// inside every input. Throws Error (naming the input) on differing sample
// rates or fewer than two common tones.
std::vector<Response> onCommonTones(const std::vector<NamedResponse>& inputs, std::vector<std::string>& notes);

}  // namespace auralyn::response
