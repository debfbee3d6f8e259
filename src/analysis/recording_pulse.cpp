#include "analysis/recording_pulse.h"

#include "measurer/sync_search.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {

std::optional<std::int64_t> findTrigger(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                                        std::int64_t from, std::int64_t to) {
    return measurer::findSyncTrigger(plan, recording.data(), static_cast<std::int64_t>(recording.size()), from, to);
}

std::optional<std::int64_t> findFirstTrigger(const sweep::SweepPlan& plan, const std::vector<Sample>& recording) {
    const sweep::SweepParameters& p = plan.params();
    // As echoprobe's walk: the search reads the sync tone's settling silence first.
    const std::int64_t count = static_cast<std::int64_t>(recording.size());
    return measurer::findSyncTrigger(plan, recording.data(), count, sweep::measurerLeadInSamples(p), count, sweep::syncSettlingSamples(p));
}

}  // namespace auralyn::analysis
