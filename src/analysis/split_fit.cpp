#include "analysis/split_fit.h"

#include <cmath>

#include "analysis/goertzel.h"

namespace auralyn::analysis {

namespace {

int harmonicsToFit(const Sample* samples, std::size_t count, double firstSampleOffset, double cyclesPerSample) {
    if (samples == nullptr || !std::isfinite(firstSampleOffset)) return 0;
    return fittedHarmonics(cyclesPerSample, count);
}

// Halves too short for a fit of their own are left to the whole block's single pass.
bool splittable(int harmonics, std::size_t count) {
    return harmonics > 0 && count / 2 > static_cast<std::size_t>(1 + 2 * harmonics);
}

}  // namespace

SplitFit fitWithHalves(const Sample* samples, std::size_t count, double firstSampleOffset, double cyclesPerSample) {
    SplitFit split;
    const int harmonics = harmonicsToFit(samples, count, firstSampleOffset, cyclesPerSample);
    const std::size_t half = count / 2;
    if (!splittable(harmonics, count)) {
        split.whole = fitHarmonics(samples, count, firstSampleOffset, cyclesPerSample);
        return split;
    }
    const double w = 6.283185307179586 * cyclesPerSample;
    const SplitSums sums = goertzelSplitSums(samples, count, w, harmonics);
    const GoertzelSums& first = sums.first;
    const GoertzelSums& second = sums.second;
    split.whole = fitFromSums(sums.whole, firstSampleOffset, cyclesPerSample);
    ToneBlock block;
    block.samples = samples;
    block.count = count;
    block.firstTime = firstSampleOffset;
    block.cyclesPerSample = cyclesPerSample;
    split.halves = halvesFrom(block,
                              fitFromSums(first, firstSampleOffset, cyclesPerSample, FitCovariances::FundamentalOnly),
                              fitFromSums(second, firstSampleOffset + static_cast<double>(half), cyclesPerSample,
                                          FitCovariances::FundamentalOnly));
    return split;
}

}  // namespace auralyn::analysis
