#include "measurement/recording_pulse.h"

#include <algorithm>
#include <cstdlib>

#include "sweep/sweep_layout.h"

namespace auralyn {

std::optional<std::int64_t> findTrigger(const SweepPlan& plan, const std::vector<std::int16_t>& recording,
                                        std::int64_t from, std::int64_t to) {
    const std::int32_t threshold = static_cast<std::int16_t>(percentToAmplitude(plan.params().syncThreshold));
    const std::int64_t end = std::min<std::int64_t>(to, static_cast<std::int64_t>(recording.size()));
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < end; ++i) {
        if (std::abs(static_cast<std::int32_t>(recording[static_cast<std::size_t>(i)])) >= threshold) return i;
    }
    return std::nullopt;
}

std::optional<std::int64_t> findFirstTrigger(const SweepPlan& plan, const std::vector<std::int16_t>& recording) {
    const SweepParameters& p = plan.params();
    const std::int64_t from = static_cast<std::int64_t>(measurerLeadInSamples(p)) + syncSettlingSamples(p);
    return findTrigger(plan, recording, from, static_cast<std::int64_t>(recording.size()));
}

}  // namespace auralyn
