#include "analysis/silence_noise.h"

#include <algorithm>
#include <cmath>

#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

// Kept clear of the pulse's rise (and what a device's delay spreads of it).
constexpr double kPulseMargin = 32.0;

}  // namespace

std::vector<Silence> silencesBeforePulses(const sweep::SweepPlan& plan, const std::vector<NominalTone>& tones,
                                          double trigger, const std::vector<ToneTiming>& timing,
                                          const std::vector<Sample>& recording, double step) {
    const sweep::SweepParameters& p = plan.params();
    const double silence = static_cast<double>(sweep::syncSettlingSamples(p)) + sweep::syncDriftSamples(p);
    std::vector<Silence> found;
    for (std::size_t i = 1; i < tones.size() && i < timing.size(); ++i) {
        if (!tones[i].syncBefore || !timing[i].placed) continue;
        const double pulse = pulseOnTimeline(tones[i], trigger, timing[i]);
        const auto first = static_cast<std::int64_t>(std::ceil(pulse - 0.5 * silence));
        const auto end = static_cast<std::int64_t>(std::floor(pulse - kPulseMargin));
        if (first < 0 || end <= first || end > static_cast<std::int64_t>(recording.size())) continue;
        Silence s;
        s.span.samples = recording.data() + first;
        s.span.count = static_cast<std::size_t>(end - first);
        s.span.roundingVariance = kQuantizationVariance * step * step;
        s.centre = 0.5 * static_cast<double>(first + end);
        found.push_back(s);
    }
    return found;
}

std::optional<LeadInNoise> nearestSilenceNoise(const std::vector<Silence>& silences, double toneCentre,
                                               std::size_t blockLength, double cyclesPerSample) {
    if (silences.size() < kNearestSilences) return std::nullopt;
    // The silences lie in order along the recording: the nearest ones are a run of them.
    const auto after = std::lower_bound(silences.begin(), silences.end(), toneCentre,
                                        [](const Silence& s, double t) { return s.centre < t; });
    auto from = after - std::min<std::ptrdiff_t>(after - silences.begin(), 1);
    auto to = from + 1;
    while (static_cast<std::size_t>(to - from) < kNearestSilences) {
        const bool earlier = from != silences.begin() &&
                             (to == silences.end() || toneCentre - (from - 1)->centre < to->centre - toneCentre);
        if (earlier) {
            --from;
        } else {
            ++to;
        }
    }
    std::vector<LeadInNoise> noises;
    for (auto s = from; s != to; ++s) {
        const std::optional<LeadInNoise> n = measureLeadInNoise(s->span, blockLength, cyclesPerSample);
        if (n) noises.push_back(*n);
    }
    if (noises.size() < kNearestSilences) return std::nullopt;
    const auto middle = noises.begin() + static_cast<std::ptrdiff_t>(noises.size() / 2);
    std::nth_element(noises.begin(), middle, noises.end(),
                     [](const LeadInNoise& a, const LeadInNoise& b) { return a.variance < b.variance; });
    LeadInNoise median = *middle;
    median.fromSilences = true;
    return median;
}

}  // namespace auralyn::analysis
