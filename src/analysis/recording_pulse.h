#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/sample.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// The trigger sample of the sweep's first sync pulse, found exactly as
// echoprobe's walk finds it: from the end of the measurer's lead-in and the
// sync tone's settling silence, the first sample that reaches the plan's sync
// threshold and has a pulse's shape (see sync_search.h). Empty when none does.
std::optional<std::int64_t> findFirstTrigger(const sweep::SweepPlan& plan, const std::vector<Sample>& recording);

// The first sample in [from, to) taken as a pulse's trigger by a search started at `from`.
std::optional<std::int64_t> findTrigger(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                                        std::int64_t from, std::int64_t to);

}  // namespace auralyn::analysis
