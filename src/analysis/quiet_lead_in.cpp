#include "analysis/quiet_lead_in.h"

#include <algorithm>

#include "analysis/lead_in_noise.h"
#include "analysis/median.h"

namespace auralyn::analysis {
namespace {

double stretchVariance(const Sample* samples, std::size_t count) {
    double sum = 0.0, squares = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        const double x = samples[n];
        sum += x;
        squares += x * x;
    }
    const double mean = sum / static_cast<double>(count);
    return std::max(0.0, squares / static_cast<double>(count) - mean * mean);
}

std::vector<double> stretchVariances(const Sample* samples, std::size_t count, std::size_t stretch) {
    std::vector<double> variances;
    if (samples == nullptr || stretch == 0) return variances;
    // Counted from the end, next to the sweep, as the noise blocks are.
    for (std::size_t first = count % stretch; first + stretch <= count; first += stretch)
        variances.push_back(stretchVariance(samples + first, stretch));
    return variances;
}

}  // namespace

double medianStretchVariance(const Sample* samples, std::size_t count, std::size_t stretch) {
    return median(stretchVariances(samples, count, stretch));
}

std::vector<Sample> quietStretches(const Sample* samples, std::size_t count, std::size_t stretch) {
    const std::vector<double> variances = stretchVariances(samples, count, stretch);
    std::vector<Sample> quiet;
    if (variances.empty()) return quiet;
    // Rounding alone leaves 1/12: a digitally silent lead-in keeps every stretch.
    const double limit = kQuietLimit * std::max(median(variances), kQuantizationVariance);
    quiet.reserve(count);
    for (std::size_t s = 0; s < variances.size(); ++s) {
        if (variances[s] > limit) continue;
        const Sample* first = samples + count % stretch + s * stretch;
        quiet.insert(quiet.end(), first, first + stretch);
    }
    return quiet;
}

}  // namespace auralyn::analysis
