#include "response/interpolation.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace auralyn::response {
namespace {

// Index i with x[i] <= at <= x[i + 1].
std::size_t segmentOf(const std::vector<double>& x, double at) {
    const auto above = std::upper_bound(x.begin(), x.end(), at);
    const std::size_t i = above == x.begin() ? 0 : static_cast<std::size_t>(above - x.begin()) - 1;
    return std::min(i, x.size() - 2);
}

double weightOf(const std::vector<double>& x, std::size_t i, double at) {
    return std::log(at / x[i]) / std::log(x[i + 1] / x[i]);
}

std::optional<double> blend(const std::optional<double>& a, const std::optional<double>& b, double w) {
    if (!a || !b) return std::nullopt;
    return *a + (*b - *a) * w;
}

Tone toneAt(const Response& response, const std::vector<double>& x, double at) {
    const std::size_t i = segmentOf(x, at);
    const Tone& lo = response.tones[i];
    const Tone& hi = response.tones[i + 1];
    if (at == lo.frequency) return lo;
    if (at == hi.frequency) return hi;
    const double w = weightOf(x, i, at);
    Tone tone;
    tone.frequency = at;
    tone.magnitude = fromDecibels(lo.magnitudeDb() + (hi.magnitudeDb() - lo.magnitudeDb()) * w);
    tone.phase = lo.phase + (hi.phase - lo.phase) * w;
    tone.magnitudeU95Db = blend(lo.magnitudeU95Db, hi.magnitudeU95Db, w);
    tone.phaseU95Deg = blend(lo.phaseU95Deg, hi.phaseU95Deg, w);
    tone.flags = (lo.flags | hi.flags) | kInterpolated;
    tone.extra.resize(lo.extra.size());
    for (std::size_t c = 0; c < lo.extra.size(); ++c) tone.extra[c] = blend(lo.extra[c], hi.extra[c], w);
    return tone;
}

}  // namespace

double interpolateOnLogAxis(const std::vector<double>& x, const std::vector<double>& y, double at) {
    const std::size_t i = segmentOf(x, at);
    if (at == x[i]) return y[i];
    return y[i] + (y[i + 1] - y[i]) * weightOf(x, i, at);
}

Response resampleAt(const Response& response, const std::vector<double>& frequencies) {
    const std::vector<double> x = response::frequencies(response);
    Response out;
    out.extraColumns = response.extraColumns;
    out.sampleRate = response.sampleRate;
    out.delayRemoved = response.delayRemoved;
    out.tones.reserve(frequencies.size());
    for (double at : frequencies) {
        if (!(at >= x.front() && at <= x.back()))
            throw Error("cannot take the response at " + std::to_string(at) + " Hz: outside its tones");
        out.tones.push_back(toneAt(response, x, at));
    }
    return out;
}

std::vector<double> logGrid(double first, double last, int pointsPerOctave) {
    if (pointsPerOctave < 1 || pointsPerOctave > 1000)
        throw Error("points per octave must lie between 1 and 1000, not " + std::to_string(pointsPerOctave));
    const double n = pointsPerOctave;
    // Small tolerance so that a tone lying exactly on the grid is not lost to rounding.
    const long kFirst = static_cast<long>(std::ceil(n * std::log2(first / 1000.0) - 1e-9));
    const long kLast = static_cast<long>(std::floor(n * std::log2(last / 1000.0) + 1e-9));
    std::vector<double> grid;
    for (long k = kFirst; k <= kLast; ++k)
        grid.push_back(std::clamp(1000.0 * std::exp2(static_cast<double>(k) / n), first, last));
    return grid;
}

Response resampleOnLogGrid(const Response& response, int pointsPerOctave) {
    const std::vector<double> grid =
        logGrid(response.tones.front().frequency, response.tones.back().frequency, pointsPerOctave);
    if (grid.size() < 2)
        throw Error("the response spans too few octaves for " + std::to_string(pointsPerOctave) +
                    " points per octave: fewer than two points would remain");
    return resampleAt(response, grid);
}

}  // namespace auralyn::response
