#include "cli/recording_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

std::int32_t peakOf(const std::vector<analysis::Sample>& samples) {
    std::int32_t peak = 0;
    for (const analysis::Sample sample : samples) peak = std::max(peak, std::abs(std::int32_t{analysis::nearestCode(sample)}));
    return peak;
}

// The median sample: the level the recording rests at between its tones and
// pulses, found from a histogram of the 16-bit codes without sorting a copy.
std::int32_t restingLevel(const std::vector<analysis::Sample>& samples) {
    std::vector<std::uint32_t> counts(65536, 0);
    for (const analysis::Sample sample : samples) ++counts[static_cast<std::size_t>(analysis::nearestCode(sample) + 32768)];
    std::uint64_t seen = 0;
    for (std::size_t value = 0; value < counts.size(); ++value) {
        seen += counts[value];
        if (2 * seen >= samples.size()) return static_cast<std::int32_t>(value) - 32768;
    }
    return 0;
}

}  // namespace

// The median is the least code v with 2 count(<= v) >= n, so it lies above
// -threshold when fewer than half round to -threshold or below, and below
// threshold when at least half round to threshold - 1 or below: two counts in
// one pass, without the histogram restingLevel needs for the message.
bool medianWithin(const std::vector<analysis::Sample>& samples, std::int32_t threshold) {
    // Each sample rounded as nearestCode rounds it, left a float so that the
    // loop vectorizes; no clamp is needed, since one beyond the 16-bit range
    // falls on the same side of both limits (which lie within it) either way.
    const auto low = static_cast<float>(-threshold);
    const auto high = static_cast<float>(threshold - 1);
    std::uint64_t atOrBelowLow = 0;
    std::uint64_t atOrBelowHigh = 0;
    for (const analysis::Sample sample : samples) {
        const float code = analysis::nearestWhole(sample);
        atOrBelowLow += code <= low ? 1u : 0u;
        atOrBelowHigh += code <= high ? 1u : 0u;
    }
    const std::uint64_t n = samples.size();
    return 2 * atOrBelowLow < n && 2 * atOrBelowHigh >= n;
}

bool referenceIsAlive(const std::string& path, int referenceChannel, const sweep::SweepPlan& plan,
                      const std::vector<std::vector<analysis::Sample>>& channels) {
    if (referenceChannel == 0) return true;
    const std::int32_t threshold = std::max(1, sweep::percentToAmplitude(plan.params().syncThreshold));
    const std::int32_t peak = peakOf(channels[static_cast<std::size_t>(referenceChannel - 1)]);
    if (peak >= threshold) return true;
    printDiagnostic(path + ": the reference channel " + std::to_string(referenceChannel) +
                    (peak == 0 ? " is silent" : " never reaches the sync pulse's level") +
                    ": is the loopback wire connected to it? Nothing was written");
    return false;
}

bool restsBelowThreshold(const std::string& path, const sweep::SweepPlan& plan, const std::vector<analysis::Sample>& samples,
                         int channel) {
    const std::int32_t threshold = sweep::percentToAmplitude(plan.params().syncThreshold);
    if (threshold <= 0 || medianWithin(samples, threshold)) return true;
    const std::int32_t level = restingLevel(samples);
    printDiagnostic(path + ": channel " + std::to_string(channel) + " rests at a DC offset of " +
                    std::to_string(level) + ", beyond the sync threshold (" + std::to_string(threshold) +
                    "): the sync pulses cannot be told from it; remove the offset (AC coupling, a high-pass "
                    "filter) and measure again. Nothing was written");
    return false;
}

}  // namespace auralyn::cli
