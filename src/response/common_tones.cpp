#include <cmath>
#include <cstdio>

#include "response/averaging.h"
#include "response/interpolation.h"

namespace auralyn::response {
namespace {

bool sameTones(const Response& a, const Response& b) {
    if (a.tones.size() != b.tones.size()) return false;
    for (std::size_t i = 0; i < a.tones.size(); ++i)
        if (std::abs(a.tones[i].frequency - b.tones[i].frequency) > 1e-9 * a.tones[i].frequency) return false;
    return true;
}

void checkSampleRates(const std::vector<NamedResponse>& inputs) {
    std::optional<double> rate;
    std::string rateOf;
    for (const NamedResponse& input : inputs) {
        if (!input.response.sampleRate) continue;
        if (rate && *rate != *input.response.sampleRate) {
            char text[160];
            std::snprintf(text, sizeof text, ": measured at %.10g Hz, but %s at %.10g Hz: responses of different sampling rates cannot be combined",
                          *input.response.sampleRate, rateOf.c_str(), *rate);
            throw Error(input.name + text);
        }
        rate = input.response.sampleRate;
        rateOf = input.name;
    }
}

// The first input's tones that lie inside every input.
std::vector<double> sharedFrequencies(const std::vector<NamedResponse>& inputs) {
    double low = 0.0, high = INFINITY;
    for (const NamedResponse& input : inputs) {
        low = std::max(low, input.response.tones.front().frequency);
        high = std::min(high, input.response.tones.back().frequency);
    }
    std::vector<double> shared;
    for (const Tone& tone : inputs.front().response.tones)
        if (tone.frequency >= low && tone.frequency <= high) shared.push_back(tone.frequency);
    if (shared.size() < 2)
        throw Error(inputs.front().name + ": fewer than two of its tones lie inside every other input's frequencies");
    return shared;
}

}  // namespace

double levelAt(const Response& response, double frequency) {
    return interpolateOnLogAxis(frequencies(response), magnitudesDb(response), frequency);
}

std::vector<Response> onCommonTones(const std::vector<NamedResponse>& inputs, std::vector<std::string>& notes) {
    checkSampleRates(inputs);
    bool allSame = true;
    for (const NamedResponse& input : inputs) allSame = allSame && sameTones(inputs.front().response, input.response);
    std::vector<Response> out;
    if (allSame) {
        for (const NamedResponse& input : inputs) out.push_back(input.response);
        return out;
    }
    const std::vector<double> shared = sharedFrequencies(inputs);
    for (const NamedResponse& input : inputs) {
        const bool interpolate = !sameTones(inputs.front().response, input.response);
        if (interpolate) notes.push_back(input.name + ": its tones differ from " + inputs.front().name + "'s: interpolated onto them");
        out.push_back(resampleAt(input.response, shared));
        if (!interpolate) continue;
        for (Tone& tone : out.back().tones) tone.flags |= kInterpolated;
    }
    if (shared.size() < inputs.front().response.tones.size())
        notes.push_back(std::to_string(inputs.front().response.tones.size() - shared.size()) + " of " +
                        inputs.front().name + "'s tones lie outside another input and were left out");
    return out;
}

Response difference(const NamedResponse& a, const NamedResponse& b) {
    std::vector<std::string> notes;
    const std::vector<Response> both = onCommonTones({a, b}, notes);
    Response out = both[0];
    out.extraColumns.clear();
    for (std::size_t i = 0; i < out.tones.size(); ++i) {
        Tone& tone = out.tones[i];
        const Tone& over = both[1].tones[i];
        tone.extra.clear();
        tone.magnitude /= over.magnitude;
        tone.phase -= over.phase;
        tone.flags |= over.flags;
        const auto combine = [](const std::optional<double>& x, const std::optional<double>& y) -> std::optional<double> {
            if (!x || !y) return std::nullopt;
            return std::hypot(*x, *y);
        };
        tone.magnitudeU95Db = combine(tone.magnitudeU95Db, over.magnitudeU95Db);
        tone.phaseU95Deg = combine(tone.phaseU95Deg, over.phaseU95Deg);
    }
    out.delayRemoved = a.response.delayRemoved - b.response.delayRemoved;
    return out;
}

}  // namespace auralyn::response
