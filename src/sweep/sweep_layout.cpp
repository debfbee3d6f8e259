#include "sweep/sweep_layout.h"

#include "sweep/parameter_check.h"
#include "sweep/truncation.h"

namespace auralyn::sweep {

std::int32_t generatorLeadInSamples(const SweepParameters& p) {
    const double rate = p.sampleRate;
    return truncateToInt32(truncateToInt32(rate * p.leadInTime) + rate * 3.0);
}

std::int32_t measurerLeadInSamples(const SweepParameters& p) {
    return truncateToInt32(p.sampleRate * p.leadInTime);
}

std::int32_t syncSettlingSamples(const SweepParameters& p) {
    return truncateToInt32(p.sampleRate * p.settlingTime);
}

std::int32_t syncDriftSamples(const SweepParameters& p) {
    return truncateToInt32(p.sampleRate * p.maxTimeDrift);
}

std::int32_t syncPulseSamples(const SweepParameters& p) {
    return truncateToInt32(p.sampleRate * p.syncPulseDuration);
}

std::uint64_t sweepSampleCount(const SweepPlan& plan, std::uint64_t limit) {
    SweepPlan walk = plan;
    const SweepParameters& p = walk.params();
    const std::int64_t syncSamples =
        std::int64_t{syncSettlingSamples(p)} + syncDriftSamples(p) + syncPulseSamples(p);
    std::int64_t total = generatorLeadInSamples(p);
    walk.rewind();
    do {
        if (walk.isSyncTone()) total += syncSamples;
        total += std::int64_t{walk.settlingSamples()} + p.toneLength + walk.driftSamples();
        if (total > 0 && static_cast<std::uint64_t>(total) > limit) break;
        // A step too small to move the frequency would never end the walk.
        if (p.toneIndex >= kMaxToneCount) return limit + 1;
    } while (walk.nextTone());
    return total > 0 ? static_cast<std::uint64_t>(total) : 0;
}

std::vector<ToneSpan> generatedToneSpans(SweepPlan plan) {
    const SweepParameters& p = plan.params();
    std::vector<ToneSpan> spans;
    plan.rewind();
    std::int64_t position = generatorLeadInSamples(p);
    do {
        if (plan.isSyncTone()) position += syncSettlingSamples(p) + syncDriftSamples(p) + syncPulseSamples(p);
        const std::int64_t lead = plan.settlingSamples();
        spans.push_back(ToneSpan{p.toneFrequency, static_cast<std::size_t>(position + lead),
                                 static_cast<std::size_t>(p.toneLength)});
        position += lead + p.toneLength + plan.driftSamples();
    } while (plan.nextTone());
    return spans;
}

}  // namespace auralyn::sweep
