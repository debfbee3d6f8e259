#include "analysis/sweep_stretches.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/angles.h"

namespace auralyn::analysis {
namespace {

constexpr std::size_t kMinStretches = 3;
constexpr double kResolvingCycles = 2.0;

// The frequency step from a tone to the next (or from the one before, for the last).
double spacingAt(const SweepTemplate& sweep, std::size_t index) {
    const std::size_t next = index + 1 < sweep.tones.size() ? index + 1 : index;
    const std::size_t before = next == index && index > 0 ? index - 1 : index;
    const double step = std::fabs(sweep.tones[next].frequency - sweep.tones[before].frequency);
    return step > 0.0 ? step : sweep.tones[index].frequency;
}

// Tone indices of the middle tone of each group: octaves of frequency, or
// thirds of the tone list when the sweep spans fewer octaves than that.
std::vector<std::size_t> centreTones(const SweepTemplate& sweep) {
    std::vector<std::size_t> centres;
    const std::size_t count = sweep.tones.size();
    if (count == 0) return centres;
    const double lowest = sweep.tones.front().frequency;
    std::size_t begin = 0;
    while (begin < count) {
        const double octave = std::floor(std::log2(sweep.tones[begin].frequency / lowest));
        std::size_t end = begin + 1;
        while (end < count && std::floor(std::log2(sweep.tones[end].frequency / lowest)) == octave) ++end;
        centres.push_back((begin + end - 1) / 2);
        begin = end;
    }
    if (centres.size() >= kMinStretches || count < kMinStretches) return centres;
    centres.clear();
    for (std::size_t part = 0; part < kMinStretches; ++part) centres.push_back((2 * part + 1) * count / (2 * kMinStretches));
    return centres;
}

// Where the octaves' stretches leave more than this share of the sweep
// without one (the low octaves, whose long tones take most of its time), a
// stretch at the tone change nearest the gap's middle is added, until any
// third of the sweep holds two: a recording cut off early, or begun late,
// still holds a line's worth of them.
constexpr double kLongestGapShare = 1.0 / 6.0;

double changeOf(const SweepTemplate& sweep, std::size_t index) {
    const TemplateTone& tone = sweep.tones[index];
    return static_cast<double>(tone.first + tone.count);
}

// The tone, other than those already centres, whose change lies nearest `middle` within (from, to).
std::optional<std::size_t> changeNear(const SweepTemplate& sweep, const std::vector<std::size_t>& centres,
                                      double from, double to, double middle) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < sweep.tones.size(); ++i) {
        const double change = changeOf(sweep, i);
        if (change <= from || change >= to || std::find(centres.begin(), centres.end(), i) != centres.end()) continue;
        if (!best || std::fabs(change - middle) < std::fabs(changeOf(sweep, *best) - middle)) best = i;
    }
    return best;
}

std::vector<std::size_t> filledInTime(const SweepTemplate& sweep, std::vector<std::size_t> centres) {
    const double longest = kLongestGapShare * static_cast<double>(sweep.length);
    for (bool added = true; added && !centres.empty();) {
        added = false;
        std::sort(centres.begin(), centres.end());
        double from = 0.0;
        for (std::size_t k = 0; k <= centres.size() && !added; ++k) {
            const double to = k < centres.size() ? changeOf(sweep, centres[k]) : static_cast<double>(sweep.length);
            if (to - from > longest) {
                if (const std::optional<std::size_t> i = changeNear(sweep, centres, from, to, 0.5 * (from + to))) {
                    centres.push_back(*i);
                    added = true;
                }
            }
            from = to;
        }
    }
    std::sort(centres.begin(), centres.end());
    return centres;
}

std::size_t stretchLength(const SweepTemplate& sweep, double highest, double spacing) {
    const double coherent = 0.25 * sweep.sampleRate / (highest * kCoherentPpm * 1e-6);
    const double resolving = kResolvingCycles * sweep.sampleRate / spacing;
    const double wanted = std::max(resolving, static_cast<double>(kBaseStretchSamples));
    const double capped = std::min({coherent, wanted, static_cast<double>(kMaxStretchSamples)});
    const auto length = static_cast<std::size_t>(std::max(capped, static_cast<double>(kMinStretchSamples)));
    return std::min<std::size_t>(length, static_cast<std::size_t>(std::max<std::int64_t>(sweep.length, 1)));
}

// The envelope's width from the tones' energy-weighted spread of frequency
// and the stretch's length (a single tone's envelope is a triangle as long
// as the stretch).
double envelopeWidth(const SweepTemplate& sweep, double origin, std::size_t length) {
    const double end = origin + static_cast<double>(length);
    double energy = 0.0, first = 0.0, second = 0.0;
    for (std::size_t k = toneAt(sweep, origin); k < sweep.tones.size(); ++k) {
        const TemplateTone& tone = sweep.tones[k];
        const double from = std::max(origin, static_cast<double>(tone.first));
        const double to = std::min(end, static_cast<double>(tone.first + tone.count));
        if (from >= end) break;
        if (to <= from) continue;
        energy += to - from;
        first += (to - from) * tone.frequency;
        second += (to - from) * tone.frequency * tone.frequency;
    }
    const double spread = energy > 0.0 ? std::max(0.0, second / energy - (first / energy) * (first / energy)) : 0.0;
    const double lengthTerm = sweep.sampleRate / static_cast<double>(length);
    const double bandwidth = std::sqrt(spread + lengthTerm * lengthTerm / 12.0);
    return sweep.sampleRate / (kTwoPi * bandwidth);
}

double highestNear(const SweepTemplate& sweep, double from, double to) {
    double highest = 0.0;
    for (std::size_t k = toneAt(sweep, from); k < sweep.tones.size(); ++k) {
        if (static_cast<double>(sweep.tones[k].first) >= to) break;
        highest = std::max(highest, sweep.tones[k].frequency);
    }
    return highest;
}

}  // namespace

// Each stretch is centred on the end of its octave's middle tone, where the
// next tone (or a sync pulse's silence) begins: the correlation envelope of
// a stretch within one long tone is flat-topped, one across a change of tone
// peaks sharply where the change lines up, and the change is what tells
// this sweep from another that shares some of its tones.
std::vector<SweepStretch> chooseStretches(const SweepTemplate& sweep, bool fillersOnly) {
    std::vector<SweepStretch> stretches;
    std::vector<std::size_t> centres = centreTones(sweep);
    if (fillersOnly) {
        const std::vector<std::size_t> octaves = centres;
        centres = filledInTime(sweep, centres);
        std::erase_if(centres,
                      [&](std::size_t i) { return std::find(octaves.begin(), octaves.end(), i) != octaves.end(); });
    }
    for (const std::size_t index : centres) {
        const TemplateTone& tone = sweep.tones[index];
        const double change = static_cast<double>(tone.first + tone.count);
        // The length first from the tone, then from the highest tone it covers.
        const double spacing = spacingAt(sweep, index);
        std::size_t length = stretchLength(sweep, tone.frequency, spacing);
        const double reach = 0.5 * static_cast<double>(length);
        length = stretchLength(sweep, std::max(tone.frequency, highestNear(sweep, change - reach, change + reach)),
                               spacing);
        SweepStretch stretch;
        const double latest = static_cast<double>(sweep.length) - static_cast<double>(length);
        stretch.origin = std::clamp(std::floor(change - 0.5 * static_cast<double>(length)), 0.0, std::max(latest, 0.0));
        stretch.samples.resize(length);
        renderTemplate(sweep, stretch.origin, 1.0, stretch.samples);
        stretch.envelopeWidth = envelopeWidth(sweep, stretch.origin, length);
        stretch.frequency = tone.frequency;
        stretches.push_back(std::move(stretch));
    }
    return stretches;
}

}  // namespace auralyn::analysis
