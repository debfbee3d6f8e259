// Feeds arbitrary bytes to the sweep parameter reader; a record it accepts must
// give a schedule that both programs can walk without a fault.

#include <cstdint>
#include <cstdio>

#include "sweep/sweep_layout.h"
#include "sweep/sweep_plan.h"

namespace {

constexpr int kMaxTonesWalked = 4096;

void walkSchedule(auralyn::sweep::SweepPlan& plan) {
    const auralyn::sweep::SweepParameters& p = plan.params();
    (void)auralyn::sweep::generatorLeadInSamples(p);
    (void)auralyn::sweep::measurerLeadInSamples(p);
    (void)auralyn::sweep::syncSettlingSamples(p);
    (void)auralyn::sweep::syncDriftSamples(p);
    (void)auralyn::sweep::syncPulseSamples(p);
    (void)auralyn::sweep::percentToAmplitude(p.syncPulseLevel);
    (void)auralyn::sweep::percentToAmplitude(p.syncThreshold);
    (void)plan.toneCount();
    plan.rewind();
    for (int tone = 0; tone < kMaxTonesWalked; ++tone) {
        (void)plan.isSyncTone();
        (void)plan.percentDone();
        const std::int32_t lead = plan.settlingSamples();
        (void)plan.driftSamples();
        if (lead > 0) (void)plan.phaseAtSample(-lead);
        (void)plan.phaseAtSample(plan.params().toneLength);
        if (!plan.nextTone()) break;
    }
    (void)auralyn::sweep::sweepSampleCount(plan, 1u << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;  // fmemopen needs a buffer; an empty file is refused at the magic anyway
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (in == nullptr) return 0;
    auralyn::sweep::SweepPlan plan;
    const bool loaded = plan.readParameters(in);
    std::fclose(in);
    if (loaded) walkSchedule(plan);
    return 0;
}
