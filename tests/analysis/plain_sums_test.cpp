// The plain sums the harmonic pass keeps per segment, and the repeated-run
// search that tests stretches at once, against sums and run lengths counted
// the plain way: whole numbers summed as integers, runs counted by grouping
// equal neighbours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "analysis/goertzel.h"
#include "analysis/tone_steadiness.h"

namespace auralyn::analysis {
namespace {

struct ExactSums {
    std::int64_t sum = 0;
    std::int64_t squares = 0;
};

ExactSums exactSums(const std::vector<Sample>& samples, std::size_t from, std::size_t to) {
    ExactSums sums;
    for (std::size_t n = from; n < to; ++n) {
        const auto code = static_cast<std::int64_t>(samples[n]);
        sums.sum += code;
        sums.squares += code * code;
    }
    return sums;
}

std::vector<Sample> randomCodes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> code(-32768, 32767);
    std::vector<Sample> samples(count);
    for (Sample& sample : samples) sample = static_cast<Sample>(code(random));
    return samples;
}

// Every way the pass divides a block (one to eight segments, a tail that
// does not divide evenly, a half that ends in the tail): full-scale codes,
// whose squares' sums need more than a float's precision, come out exact.
TEST(PlainSums, HalvesAndWholeOfCodesAreExact) {
    const double w = 6.283185307179586 * 1234.5 / 48000.0;
    for (const std::size_t count : {7u, 64u, 255u, 256u, 263u, 777u, 4097u, 100003u}) {
        const std::vector<Sample> samples = randomCodes(count, static_cast<unsigned>(count));
        const std::size_t half = count / 2;
        const ExactSums whole = exactSums(samples, 0, count);
        const ExactSums first = exactSums(samples, 0, half);
        const ExactSums second = exactSums(samples, half, count);
        for (int harmonics = 1; harmonics <= kMaxHarmonic; ++harmonics) {
            const SplitSums split = goertzelSplitSums(samples.data(), count, w, harmonics);
            EXPECT_EQ(split.whole.sum, static_cast<double>(whole.sum)) << count << " " << harmonics;
            EXPECT_EQ(split.whole.sumSquares, static_cast<double>(whole.squares)) << count << " " << harmonics;
            EXPECT_EQ(split.first.sum, static_cast<double>(first.sum)) << count << " " << harmonics;
            EXPECT_EQ(split.first.sumSquares, static_cast<double>(first.squares)) << count << " " << harmonics;
            EXPECT_EQ(split.second.sum, static_cast<double>(second.sum)) << count << " " << harmonics;
            EXPECT_EQ(split.second.sumSquares, static_cast<double>(second.squares)) << count << " " << harmonics;
        }
    }
}

// Samples with fractions (a 24-bit recording in 16-bit units): the sums are
// right to rounding, whatever order the segments add them in.
TEST(PlainSums, FinerSamplesToRounding) {
    const std::size_t count = 5003;
    std::vector<Sample> samples = randomCodes(count, 11);
    for (std::size_t n = 0; n < count; ++n) samples[n] += static_cast<Sample>(n % 256) / 256.0f;
    long double sum = 0.0L, squares = 0.0L;
    for (const Sample s : samples) {
        sum += s;
        squares += static_cast<long double>(s) * s;
    }
    const SplitSums split = goertzelSplitSums(samples.data(), count, 0.3, 1);
    EXPECT_NEAR(split.whole.sum, static_cast<double>(sum), 1e-12 * 32768.0 * count);
    EXPECT_NEAR(split.whole.sumSquares, static_cast<double>(squares), 1e-14 * static_cast<double>(squares));
}

// The longest stretch of one repeated value, counted by grouping.
std::size_t groupedLongestRun(const std::vector<Sample>& samples) {
    std::size_t longest = 0;
    for (std::size_t n = 0; n < samples.size();) {
        std::size_t end = n + 1;
        while (end < samples.size() && samples[end] == samples[n]) ++end;
        longest = std::max(longest, end - n);
        n = end;
    }
    return longest;
}

// Runs of every length placed across the stretches' borders, NaNs (which
// repeat nothing), and sequences of every short length.
TEST(RepeatedRun, EqualsRunsCountedByGrouping) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> value(-3, 3);
    std::uniform_int_distribution<int> runLength(1, 70);
    std::uniform_int_distribution<int> rare(0, 40);
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<Sample> samples;
        const auto total = static_cast<std::size_t>(trial < 100 ? trial : 100 + 7 * trial);
        float next = 0.0f;
        while (samples.size() < total) {
            // Mostly changing every sample, as a tone does, with a run now and then.
            const int length = rare(random) == 0 ? runLength(random) : 1;
            next += static_cast<float>(value(random) == 0 ? 1 : value(random)) + 0.5f;
            const float v = rare(random) == 1 ? std::numeric_limits<float>::quiet_NaN() : next;
            for (int k = 0; k < length && samples.size() < total; ++k) samples.push_back(v);
        }
        EXPECT_EQ(longestRepeatedRun(samples.data(), samples.size()), groupedLongestRun(samples)) << trial;
    }
    const std::vector<Sample> flat(1000, 7.0f);
    EXPECT_EQ(longestRepeatedRun(flat.data(), flat.size()), 1000u);
}

}  // namespace
}  // namespace auralyn::analysis
