#include "response/averaging.h"

#include <cmath>
#include <complex>
#include <cstdio>

namespace auralyn::response {
namespace {

constexpr double kDbPerRadian = 20.0 / 2.302585092994046;  // dB of level per unit of relative amplitude
constexpr double kDegreesToDb = kDbPerRadian * kPi / 180.0;  // a degree of phase as an equal sideways error, in dB

// The tone's values in one input, as the average sees them.
struct Sample {
    double magnitude, phase;
    std::optional<double> uDb, uDeg;
};

std::vector<Sample> samplesAt(const std::vector<Response>& inputs, std::size_t i) {
    std::vector<Sample> out;
    for (const Response& r : inputs) {
        const Tone& t = r.tones[i];
        out.push_back({t.magnitude, t.phase, t.magnitudeU95Db, t.phaseU95Deg});
    }
    return out;
}

bool allHaveIntervals(const std::vector<Sample>& samples) {
    for (const Sample& s : samples)
        if (!s.uDb || !s.uDeg) return false;
    return true;
}

double nearTurn(double phase, double reference) { return reference + std::remainder(phase - reference, 2.0 * kPi); }

// Mean of H (vector), with its intervals propagated through the components
// along and across the mean.
Tone vectorMean(const std::vector<Sample>& samples, Tone tone) {
    const double n = static_cast<double>(samples.size());
    std::complex<double> sum = 0.0;
    for (const Sample& s : samples) sum += std::polar(s.magnitude, s.phase);
    const std::complex<double> mean = sum / n;
    if (!(std::abs(mean) > 0.0)) throw Error("the inputs cancel to nothing at " + std::to_string(tone.frequency) + " Hz");
    tone.magnitude = std::abs(mean);
    tone.phase = nearTurn(std::arg(mean), samples.front().phase);
    tone.magnitudeU95Db.reset();
    tone.phaseU95Deg.reset();
    if (!allHaveIntervals(samples)) return tone;
    double along = 0.0, across = 0.0;  // squared, in dB and degrees
    for (const Sample& s : samples) {
        const double d = s.phase - tone.phase, w = s.magnitude / n / tone.magnitude;
        const double c = std::cos(d), sn = std::sin(d), sideways = *s.uDeg * kDegreesToDb;
        along += w * w * (*s.uDb * *s.uDb * c * c + sideways * sideways * sn * sn);
        across += w * w * (*s.uDb * *s.uDb * sn * sn + sideways * sideways * c * c);
    }
    tone.magnitudeU95Db = std::sqrt(along);
    tone.phaseU95Deg = std::sqrt(across) / kDegreesToDb;
    return tone;
}

// Circular mean of the phases and its interval.
void circularPhase(const std::vector<Sample>& samples, Tone& tone) {
    std::complex<double> sum = 0.0;
    for (const Sample& s : samples) sum += std::polar(1.0, s.phase);
    tone.phase = std::abs(sum) > 1e-9 ? nearTurn(std::arg(sum), samples.front().phase) : samples.front().phase;
    tone.phaseU95Deg.reset();
    if (!allHaveIntervals(samples) || !(std::abs(sum) > 1e-9)) return;
    double var = 0.0;
    for (const Sample& s : samples) {
        const double w = std::cos(s.phase - tone.phase) * *s.uDeg;
        var += w * w;
    }
    tone.phaseU95Deg = std::sqrt(var) / std::abs(sum);
}

Tone powerMean(const std::vector<Sample>& samples, Tone tone) {
    double power = 0.0;
    for (const Sample& s : samples) power += s.magnitude * s.magnitude;
    tone.magnitude = std::sqrt(power / static_cast<double>(samples.size()));
    tone.magnitudeU95Db.reset();
    if (allHaveIntervals(samples)) {
        double var = 0.0;
        for (const Sample& s : samples) {
            const double w = s.magnitude * s.magnitude / power * *s.uDb;
            var += w * w;
        }
        tone.magnitudeU95Db = std::sqrt(var);
    }
    circularPhase(samples, tone);
    return tone;
}

Tone dbMean(const std::vector<Sample>& samples, Tone tone) {
    const double n = static_cast<double>(samples.size());
    double sum = 0.0, var = 0.0;
    for (const Sample& s : samples) sum += decibels(s.magnitude), var += s.uDb ? *s.uDb * *s.uDb : 0.0;
    tone.magnitude = fromDecibels(sum / n);
    tone.magnitudeU95Db.reset();
    if (allHaveIntervals(samples)) tone.magnitudeU95Db = std::sqrt(var) / n;
    circularPhase(samples, tone);
    return tone;
}

double spreadDb(const std::vector<Sample>& samples) {
    const double n = static_cast<double>(samples.size());
    double sum = 0.0, squares = 0.0;
    for (const Sample& s : samples) sum += decibels(s.magnitude);
    for (const Sample& s : samples) squares += std::pow(decibels(s.magnitude) - sum / n, 2.0);
    return std::sqrt(squares / (n - 1.0));
}

// Whether input k's phase differs from the first's at tone i beyond what
// their intervals allow (3 standard deviations of the difference), or by
// more than 20° where either has no interval.
bool phasesDisagree(const Tone& first, const Tone& other) {
    const double difference = std::abs(toDegrees(std::remainder(other.phase - first.phase, 2.0 * kPi)));
    if (!first.phaseU95Deg || !other.phaseU95Deg) return difference > 20.0;
    return difference > 3.0 * std::hypot(*first.phaseU95Deg, *other.phaseU95Deg) / 1.96;
}

void checkPhases(const std::vector<NamedResponse>& inputs, std::vector<Response>& common, bool force) {
    const std::size_t tones = common.front().tones.size();
    for (std::size_t k = 1; k < common.size(); ++k) {
        std::size_t disagreeing = 0;
        for (std::size_t i = 0; i < tones; ++i) {
            if (!phasesDisagree(common.front().tones[i], common[k].tones[i])) continue;
            ++disagreeing;
            common[k].tones[i].flags |= kPhaseDisagrees;
        }
        if (force || disagreeing * 20 <= tones) continue;
        char text[300];
        std::snprintf(text, sizeof text,
                      ": its phase disagrees with %s's beyond their intervals at %zu of %zu tones: the inputs do not "
                      "share a time reference, so a vector average would cancel; use --mode power or db, or --force",
                      inputs.front().name.c_str(), disagreeing, tones);
        throw Error(inputs[k].name + text);
    }
}

void alignLevels(const std::vector<NamedResponse>& inputs, std::vector<Response>& common, double hz,
                 std::vector<std::string>& notes) {
    const double reference = [&] {
        const Response& first = common.front();
        if (!(hz >= first.tones.front().frequency && hz <= first.tones.back().frequency))
            throw Error(inputs.front().name + ": --align-level " + std::to_string(hz) + " Hz lies outside its tones");
        return levelAt(first, hz);
    }();
    for (std::size_t k = 1; k < common.size(); ++k) {
        const double shift = reference - levelAt(common[k], hz);
        for (Tone& tone : common[k].tones) tone.magnitude *= fromDecibels(shift);
        char text[120];
        std::snprintf(text, sizeof text, ": levelled by %+.3f dB at %.6g Hz", shift, hz);
        notes.push_back(inputs[k].name + text);
    }
}

}  // namespace

Average average(const std::vector<NamedResponse>& inputs, const AverageOptions& options) {
    if (inputs.size() < 2) throw Error("an average needs at least two responses");
    Average out;
    std::vector<Response> common = onCommonTones(inputs, out.notes);
    if (options.alignLevelHz) alignLevels(inputs, common, *options.alignLevelHz, out.notes);
    if (options.mode == AverageMode::vector) checkPhases(inputs, common, options.force);
    out.response = common.front();
    out.response.extraColumns.clear();
    for (std::size_t i = 0; i < out.response.tones.size(); ++i) {
        const std::vector<Sample> samples = samplesAt(common, i);
        Tone tone = out.response.tones[i];
        tone.extra.clear();
        for (const Response& r : common) tone.flags |= r.tones[i].flags;
        if (options.mode == AverageMode::vector) tone = vectorMean(samples, tone);
        if (options.mode == AverageMode::power) tone = powerMean(samples, tone);
        if (options.mode == AverageMode::db) tone = dbMean(samples, tone);
        out.response.tones[i] = tone;
        out.spreadDb.push_back(spreadDb(samples));
    }
    return out;
}

}  // namespace auralyn::response
