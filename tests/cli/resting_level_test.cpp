// The check that a recording rests within the sync threshold, by two counts,
// against the median of a sorted copy of the samples' 16-bit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "cli/recording_checks.h"

namespace auralyn::cli {
namespace {

// The least code v with at least half the samples at or below it.
bool sortedMedianWithin(const std::vector<analysis::Sample>& samples, std::int32_t threshold) {
    std::vector<std::int32_t> codes;
    for (const analysis::Sample s : samples) codes.push_back(analysis::nearestCode(s));
    std::sort(codes.begin(), codes.end());
    if (codes.empty()) return false;
    const std::int32_t median = codes[(codes.size() - 1) / 2];
    return std::abs(median) < threshold;
}

// Offsets on both sides of both limits, half steps that round either way
// (ties to even), values beyond the 16-bit range, odd and even counts.
TEST(RestingLevel, TwoCountsAgreeWithTheSortedMedian) {
    std::mt19937 random(3);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    const float offsets[] = {0.0f, 4914.0f, 4914.5f, 4915.0f, 4915.5f, -4914.5f, -4915.0f, -4915.5f, -4916.0f,
                             40000.0f, -40000.0f, 32767.0f};
    for (const float offset : offsets) {
        for (const std::size_t count : {1u, 2u, 7u, 100u, 1001u}) {
            std::vector<analysis::Sample> samples(count);
            for (std::size_t n = 0; n < count; ++n) samples[n] = offset + (n % 3 == 0 ? 0.0f : noise(random));
            for (const std::int32_t threshold : {1, 4915, 32767})
                EXPECT_EQ(medianWithin(samples, threshold), sortedMedianWithin(samples, threshold))
                    << offset << " " << count << " " << threshold;
        }
    }
    // Half the samples exactly at the limit: the median is the lower of the middle two.
    const std::vector<analysis::Sample> split{-4915.0f, -4915.0f, 0.0f, 0.0f};
    EXPECT_FALSE(medianWithin(split, 4915));
    const std::vector<analysis::Sample> upper{0.0f, 0.0f, 4915.0f, 4915.0f};
    EXPECT_TRUE(medianWithin(upper, 4915));
    EXPECT_FALSE(medianWithin({}, 4915));
}

}  // namespace
}  // namespace auralyn::cli
