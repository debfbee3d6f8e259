#include "analysis/sweep_template.h"

#include <algorithm>
#include <cmath>

#include "analysis/angles.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

constexpr double kFullScale = 32767.0;

}  // namespace

// The same walk as the generator's: tone 0's pulse is the origin, each later
// sync tone adds its silence and pulse, every tone its lead, block and tail.
SweepTemplate sweepTemplate(const sweep::SweepPlan& schedule) {
    sweep::SweepPlan plan = schedule;
    const sweep::SweepParameters& p = plan.params();
    const std::uint64_t limit = std::uint64_t{plan.toneCount()} + 1;
    SweepTemplate sweep;
    sweep.sampleRate = p.sampleRate;
    std::int64_t offset = 0;
    plan.rewind();
    do {
        if (p.toneIndex >= limit) break;
        if (plan.isSyncTone()) {
            if (p.toneIndex != 0) offset += std::int64_t{syncSettlingSamples(p)} + syncDriftSamples(p);
            offset += syncPulseSamples(p);
        }
        const std::int32_t lead = plan.settlingSamples();
        TemplateTone tone;
        tone.first = offset;
        tone.frequency = p.toneFrequency;
        tone.startPhase = plan.phaseAtSample(-lead);
        tone.blockOffset = offset + lead;
        tone.blockLength = std::max(p.toneLength, 0);
        const std::int64_t count = std::int64_t{lead} + tone.blockLength + plan.driftSamples();
        tone.count = static_cast<std::int32_t>(std::max<std::int64_t>(count, 0));
        offset += tone.count;
        sweep.tones.push_back(tone);
    } while (plan.nextTone());
    sweep.length = offset;
    return sweep;
}

std::size_t toneAt(const SweepTemplate& sweep, double position) {
    const auto after = std::upper_bound(sweep.tones.begin(), sweep.tones.end(), position,
                                        [](double x, const TemplateTone& t) {
                                            return x < static_cast<double>(t.first + t.count);
                                        });
    return static_cast<std::size_t>(after - sweep.tones.begin());
}

void renderTemplate(const SweepTemplate& sweep, double origin, double ratio, std::span<double> out) {
    std::fill(out.begin(), out.end(), 0.0);
    const double end = origin + static_cast<double>(out.size()) / ratio;
    for (std::size_t k = toneAt(sweep, origin); k < sweep.tones.size(); ++k) {
        const TemplateTone& tone = sweep.tones[k];
        const double first = static_cast<double>(tone.first);
        if (first >= end) break;
        const double step = kTwoPi * tone.frequency / sweep.sampleRate;
        const double last = first + tone.count;
        // j such that first <= origin + j / ratio < last
        const auto from = static_cast<std::int64_t>(std::max(0.0, std::ceil((first - origin) * ratio)));
        const auto to = static_cast<std::int64_t>(
            std::min(static_cast<double>(out.size()), std::ceil((last - origin) * ratio)));
        for (std::int64_t j = from; j < to; ++j) {
            const double played = origin + static_cast<double>(j) / ratio - first;
            if (played < 0.0 || played >= tone.count) continue;
            out[static_cast<std::size_t>(j)] = kFullScale * std::sin(played * step + tone.startPhase);
        }
    }
}

}  // namespace auralyn::analysis
