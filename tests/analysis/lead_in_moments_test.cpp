// The lead-in's noise fits from the blocks' moments against the same fits made
// block by block: a DC offset, hum and noise, at many frequencies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "analysis/lead_in_noise.h"

namespace {

using namespace auralyn::analysis;

std::vector<auralyn::analysis::Sample> humAndNoise(std::size_t count) {
    std::mt19937 random(17);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<auralyn::analysis::Sample> samples(count);
    for (std::size_t n = 0; n < count; ++n)
        samples[n] = static_cast<std::int16_t>(std::lround(120.0 + 400.0 * std::sin(0.00654 * n) + noise(random)));
    return samples;
}

// `span`'s noise at one frequency beside the block-by-block fit of a fresh
// span over the same samples (a fresh span has no moments yet); none where
// either found no noise.
struct NoiseBeside {
    LeadInNoise fromSpan;
    LeadInNoise blockByBlock;
};

std::optional<NoiseBeside> besideBlockByBlock(const LeadInSpan& span, std::size_t blockLength, double cyclesPerSample) {
    const LeadInSpan fresh{span.samples, span.count, span.roundingVariance};
    const auto direct = measureLeadInNoise(fresh, blockLength, cyclesPerSample);
    const auto fromSpan = measureLeadInNoise(span, blockLength, cyclesPerSample);
    if (!direct || !fromSpan) return std::nullopt;
    return NoiseBeside{*fromSpan, *direct};
}

TEST(LeadInMoments, GiveTheBlockByBlockNoiseAtEveryFrequency) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(24000);
    const LeadInSpan shared{leadIn.data(), leadIn.size()};
    for (int tone = 1; tone < 400; ++tone) {
        const double cyclesPerSample = 0.0011 * tone;
        const std::optional<NoiseBeside> noise = besideBlockByBlock(shared, 4800, cyclesPerSample);
        ASSERT_TRUE(noise);
        EXPECT_NEAR(noise->fromSpan.variance, noise->blockByBlock.variance, 1e-9 * noise->blockByBlock.variance)
            << cyclesPerSample;
        EXPECT_EQ(noise->fromSpan.blocks, noise->blockByBlock.blocks);
    }
}

// The request on which a cache first hands out moments for one length.
std::size_t requestsUntilBuilt(LeadInMomentCache& cache, const std::vector<auralyn::analysis::Sample>& leadIn,
                               std::size_t length) {
    const std::size_t blocks = leadIn.size() / length;
    for (std::size_t request = 1; request <= length; ++request)
        if (cache.find(leadIn.data() + leadIn.size(), length, blocks) != nullptr) return request;
    return 0;
}

TEST(LeadInMomentCache, BuildsAfterTheBlockLengthOverItsDivisor) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(24000);
    LeadInMomentCache plain;
    EXPECT_EQ(requestsUntilBuilt(plain, leadIn, 4800), 1200u);
    LeadInMomentCache eager(LeadInMomentCache::kEagerMomentDivisor);
    EXPECT_EQ(requestsUntilBuilt(eager, leadIn, 4800), 150u);
    // Short blocks still wait for a second request; a divisor of 0 counts as 1.
    LeadInMomentCache shortBlocks(LeadInMomentCache::kEagerMomentDivisor);
    EXPECT_EQ(requestsUntilBuilt(shortBlocks, leadIn, 40), 2u);
    LeadInMomentCache zero(0);
    EXPECT_EQ(requestsUntilBuilt(zero, leadIn, 480), 480u);
}

TEST(LeadInMomentCache, EagerMomentsGiveTheBlockByBlockNoise) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(24000);
    LeadInSpan eager{leadIn.data(), leadIn.size()};
    eager.moments = std::make_shared<LeadInMomentCache>(LeadInMomentCache::kEagerMomentDivisor);
    int fromMoments = 0;
    for (int tone = 1; tone < 200; ++tone) {
        const double cyclesPerSample = 0.0023 * tone;
        const std::optional<NoiseBeside> noise = besideBlockByBlock(eager, 480, cyclesPerSample);
        ASSERT_TRUE(noise);
        const LeadInNoise& early = noise->fromSpan;
        const LeadInNoise& direct = noise->blockByBlock;
        EXPECT_NEAR(early.variance, direct.variance, 1e-9 * direct.variance) << cyclesPerSample;
        EXPECT_DOUBLE_EQ(early.amplitudeRms, std::sqrt(early.variance / direct.variance) * direct.amplitudeRms);
        if (early.variance != direct.variance) ++fromMoments;
    }
    // From the 15th tone on (480 / 32) the moments answer, and they round differently.
    EXPECT_GT(fromMoments, 0);
}

// Frequencies asked for again, in other groups and orders, come from the
// cache's first evaluation, bit for bit what blockSpectra gives; moments the
// cache did not build are evaluated directly.
TEST(LeadInMomentCache, SpectraEvaluateEachFrequencyOnceAndExactly) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(24000);
    LeadInMomentCache cache(1);
    const LeadInMoments* moments = nullptr;
    while (moments == nullptr) moments = cache.find(leadIn.data() + leadIn.size(), 480, 50);
    const std::vector<double> first = {0.31, 0.07, 0.31, 1.9};
    const std::vector<double> second = {1.9, 2.5, 0.07};
    std::vector<BlockSpectrum> a(first.size()), b(second.size());
    cache.spectra(*moments, first.data(), first.size(), a.data());
    cache.spectra(*moments, second.data(), second.size(), b.data());
    const auto same = [&](const BlockSpectrum& s, double w) {
        const BlockSpectrum direct = blockSpectrum(*moments, w);
        return s.power == direct.power && s.square == direct.square && s.withSum == direct.withSum &&
               s.sumSquared == direct.sumSquared;
    };
    for (std::size_t f = 0; f < first.size(); ++f) EXPECT_TRUE(same(a[f], first[f])) << first[f];
    for (std::size_t f = 0; f < second.size(); ++f) EXPECT_TRUE(same(b[f], second[f])) << second[f];
    const LeadInMoments foreign = leadInMoments(leadIn.data() + leadIn.size(), 240, 10);
    BlockSpectrum c;
    cache.spectra(foreign, &second[1], 1, &c);
    EXPECT_EQ(c.power, blockSpectrum(foreign, second[1]).power);
}

TEST(LeadInMoments, SilenceStaysAtTheRoundingFloor) {
    const std::vector<auralyn::analysis::Sample> silence(24000, 0);
    const LeadInSpan span{silence.data(), silence.size()};
    for (int tone = 1; tone < 200; ++tone) {
        const auto noise = measureLeadInNoise(span, 4800, 0.002 * tone);
        ASSERT_TRUE(noise);
        EXPECT_TRUE(noise->quantizationLimited);
    }
}


// The moments by their definitions in 64-bit integers: sum over the blocks
// of y[i] y[i + k], of y[i] y[j] at i + j, of S y[i], and of S^2.
struct ExactMoments {
    std::vector<std::int64_t> lags, squares, withSum;
    std::int64_t sumSquared = 0;
};

ExactMoments exactMoments(const std::vector<std::int64_t>& codes, std::size_t length, std::size_t blocks) {
    ExactMoments m{std::vector<std::int64_t>(length), std::vector<std::int64_t>(2 * length - 1),
                   std::vector<std::int64_t>(length)};
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::int64_t* y = codes.data() + codes.size() - (b + 1) * length;
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < length; ++i) sum += y[i];
        m.sumSquared += sum * sum;
        for (std::size_t i = 0; i < length; ++i) {
            m.withSum[i] += sum * y[i];
            for (std::size_t j = 0; j < length; ++j) {
                m.squares[i + j] += y[i] * y[j];
                if (j >= i) m.lags[j - i] += y[i] * y[j];
            }
        }
    }
    return m;
}

TEST(LeadInMoments, OfSixteenBitCodesAreTheExactIntegers) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> code(-32768, 32767);
    // Full-scale runs among random codes; a block count that fills no whole group of lanes.
    for (const auto& [length, blocks] : {std::pair<std::size_t, std::size_t>{37, 13}, {64, 128}, {5, 1}}) {
        std::vector<std::int64_t> codes(length * blocks + 11);
        for (std::size_t n = 0; n < codes.size(); ++n) codes[n] = n % 7 == 0 ? (n % 2 ? 32767 : -32768) : code(random);
        const std::vector<Sample> samples(codes.begin(), codes.end());
        const LeadInMoments m = leadInMoments(samples.data() + samples.size(), length, blocks);
        const ExactMoments exact = exactMoments(codes, length, blocks);
        ASSERT_EQ(m.lags.size(), length);
        ASSERT_EQ(m.squares.size(), 2 * length - 1);
        for (std::size_t k = 0; k < length; ++k) {
            EXPECT_EQ(m.lags[k], static_cast<double>(exact.lags[k])) << k;
            EXPECT_EQ(m.withSum[k], static_cast<double>(exact.withSum[k])) << k;
        }
        for (std::size_t k = 0; k < m.squares.size(); ++k) EXPECT_EQ(m.squares[k], static_cast<double>(exact.squares[k])) << k;
        EXPECT_EQ(m.sumSquared, static_cast<double>(exact.sumSquared));
    }
}

TEST(LeadInMoments, OfFinerSamplesAgreeWithTheCodesToRounding) {
    std::vector<Sample> samples = humAndNoise(64 * 40);
    const LeadInMoments codes = leadInMoments(samples.data() + samples.size(), 64, 40);
    samples[samples.size() - 3] += 0.25f;  // one sample off the 16-bit grid: the general sums
    const LeadInMoments finer = leadInMoments(samples.data() + samples.size(), 64, 40);
    for (std::size_t k = 0; k < codes.lags.size(); ++k)
        EXPECT_NEAR(finer.lags[k], codes.lags[k], 1e-6 * codes.lags[0] + 2e4) << k;
    EXPECT_NE(finer.lags[0], codes.lags[0]);
}

}  // namespace

namespace {

// The solvers a span remembers give what solvers made afresh give, to the bit:
// the same fits in any order, with the span's cache, without one, and again.
TEST(LeadInNoiseSolvers, RememberedSolversGiveTheSameNoiseToTheBit) {
    const std::vector<auralyn::analysis::Sample> leadIn = humAndNoise(6000);
    LeadInSpan withoutCache{leadIn.data(), leadIn.size()};
    withoutCache.solvers = nullptr;
    withoutCache.moments = nullptr;
    LeadInSpan shared{leadIn.data(), leadIn.size()};
    shared.moments = nullptr;
    for (int pass = 0; pass < 2; ++pass) {
        for (int tone = 1; tone < 60; ++tone) {
            const double harmonics[3] = {0.003 * tone, 0.006 * tone, 0.009 * tone};
            std::optional<LeadInNoise> remembered[3];
            std::optional<LeadInNoise> afresh[3];
            measureLeadInNoise(shared, 200, harmonics, 3, remembered);
            measureLeadInNoise(withoutCache, 200, harmonics, 3, afresh);
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(remembered[k].has_value(), afresh[k].has_value()) << tone << " " << k;
                if (!afresh[k]) continue;
                EXPECT_EQ(remembered[k]->variance, afresh[k]->variance) << tone << " " << k;
                EXPECT_EQ(remembered[k]->amplitudeRms, afresh[k]->amplitudeRms) << tone << " " << k;
            }
        }
    }
}

}  // namespace
