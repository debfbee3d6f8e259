#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/sample.h"
#include "sweep/sweep_plan.h"

namespace auralyn::cli {

// Checks of a recording's channels before anything is measured; each prints
// why it failed, naming the recording and the channel.

// A loopback wire carries the whole sweep, sync pulses included: a reference
// channel (counted from 1; 0: none) that never reaches the pulse threshold is
// dead, and a response measured over it would be noise over noise.
bool referenceIsAlive(const std::string& path, int referenceChannel, const sweep::SweepPlan& plan,
                      const std::vector<std::vector<analysis::Sample>>& channels);

// The pulse search takes the first sample at the sync threshold for a pulse:
// a recording that rests (its median) beyond the threshold would put every
// tone in the wrong place, so it is refused rather than measured there.
// Whether the median sample's 16-bit code (nearestCode) lies strictly within
// +-threshold (threshold 1..32767).
bool medianWithin(const std::vector<analysis::Sample>& samples, std::int32_t threshold);

bool restsBelowThreshold(const std::string& path, const sweep::SweepPlan& plan, const std::vector<analysis::Sample>& samples,
                         int channel);

}  // namespace auralyn::cli
