#include "generator/sweep_refusal.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "sweep/parameter_check.h"
#include "sweep/sweep_layout.h"

namespace auralyn::generator {
namespace {

// Counts the whole sweep, so that the refusal can say how long it is. Nothing
// when it fits.
std::optional<std::string> tooLongForWaveFile(const sweep::SweepPlan& plan) {
    constexpr std::uint64_t kCountLimit = UINT64_MAX / 2;
    const std::uint64_t samples = sweep::sweepSampleCount(plan, kCountLimit);
    if (samples <= sweep::kMaxWaveSamples16) return std::nullopt;
    const std::uint32_t rate = plan.params().sampleRate;
    char text[300];
    std::snprintf(text, sizeof text,
                  "The sweep is too long for a wave file: %s%" PRIu64 " samples (%.1f hours at %" PRIu32
                  " Hz); a wave file holds at most %" PRIu64 " samples.",
                  samples > kCountLimit ? "more than " : "", samples > kCountLimit ? kCountLimit : samples,
                  static_cast<double>(samples) / rate / 3600.0, rate, sweep::kMaxWaveSamples16);
    return std::string(text);
}

}  // namespace

std::optional<std::string> sweepRefusal(const sweep::SweepPlan& plan) {
    const sweep::RecordFault fault = sweep::findRecordFault(plan.params());
    if (fault == sweep::RecordFault::none) return std::nullopt;
    if (fault == sweep::RecordFault::sweepTooLong) {
        if (std::optional<std::string> reason = tooLongForWaveFile(plan)) return reason;
    }
    return std::string("The sweep could not be measured: ") + sweep::describeRecordFault(fault) +
           ". Choose fewer tones, a larger maximum fractional cycle or fewer extra samples.";
}

}  // namespace auralyn::generator
