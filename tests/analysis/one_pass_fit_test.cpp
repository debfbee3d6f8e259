// A tone's block and its halves fitted from one pass give what the separate
// passes give: the whole block's sums and fit exactly, the halves' to
// rounding; and the clipping check that searches stretches at once counts
// what a plain walk over every sample counts.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>
#include <vector>

#include "analysis/clipping.h"
#include "analysis/goertzel.h"
#include "analysis/harmonic_fit.h"
#include "analysis/split_fit.h"
#include "analysis/tone_steadiness.h"

namespace auralyn::analysis {
namespace {

constexpr double kTwoPi = 6.283185307179586;

std::vector<Sample> noisyTone(std::size_t count, double cycles, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, 30.0);
    std::vector<Sample> samples(count);
    for (std::size_t n = 0; n < count; ++n) {
        const double tone = 15000.0 * std::sin(kTwoPi * cycles * static_cast<double>(n) + 0.7);
        samples[n] = static_cast<Sample>(std::lround(tone + 0.05 * tone * tone / 32767.0 + gauss(random)));
    }
    return samples;
}

void expectNear(std::complex<double> a, std::complex<double> b, double scale) {
    EXPECT_NEAR(a.real(), b.real(), 1e-9 * scale);
    EXPECT_NEAR(a.imag(), b.imag(), 1e-9 * scale);
}

// Every number of harmonics (so every way the pass splits into segments),
// blocks short and long, even and odd, and halves that end inside the tail.
TEST(OnePassFit, SplitSumsGiveTheWholeExactlyAndTheHalvesToRounding) {
    const double w = kTwoPi * 211.3 / 48000.0;
    for (const std::size_t count : {21u, 255u, 256u, 257u, 1001u, 4099u, 4104u}) {
        const std::vector<Sample> samples = noisyTone(count, 211.3 / 48000.0, static_cast<unsigned>(count));
        for (int harmonics = 1; harmonics <= kMaxHarmonic; ++harmonics) {
            const SplitSums split = goertzelSplitSums(samples.data(), count, w, harmonics);
            const GoertzelSums whole = goertzelSums(samples.data(), count, w, harmonics);
            const std::size_t half = count / 2;
            const GoertzelSums first = goertzelSums(samples.data(), half, w, harmonics);
            const GoertzelSums second = goertzelSums(samples.data() + half, count - half, w, harmonics);
            EXPECT_EQ(split.whole.sum, whole.sum);
            EXPECT_EQ(split.whole.sumSquares, whole.sumSquares);
            EXPECT_EQ(split.first.sum + split.second.sum, whole.sum);
            EXPECT_EQ(split.first.sumSquares, first.sumSquares);
            EXPECT_EQ(split.second.count, second.count);
            const double scale = 15000.0 * static_cast<double>(count);
            for (int k = 0; k < harmonics; ++k) {
                EXPECT_EQ(split.whole.correlations[k], whole.correlations[k]) << count << " " << harmonics;
                expectNear(split.first.correlations[k], first.correlations[k], scale);
                expectNear(split.second.correlations[k], second.correlations[k], scale);
            }
        }
    }
}

TEST(OnePassFit, WholeFitIsTheSeparateFitAndTheHalvesAgree) {
    for (const double hz : {37.0, 997.3, 3100.0, 9000.0, 21000.0}) {
        const double cycles = hz / 48000.0;
        const std::vector<Sample> samples = noisyTone(4801, cycles, 3);
        const SplitFit split = fitWithHalves(samples.data(), samples.size(), 0.3, cycles);
        const HarmonicFit alone = fitHarmonics(samples.data(), samples.size(), 0.3, cycles);
        ASSERT_TRUE(split.whole.valid) << hz;
        EXPECT_EQ(split.whole.harmonics, alone.harmonics);
        for (const double HarmonicFit::*member : {&HarmonicFit::dc, &HarmonicFit::residualSquares,
                                                  &HarmonicFit::remainderSquares, &HarmonicFit::cosineVariance})
            EXPECT_EQ(split.whole.*member, alone.*member) << hz;
        for (int k = 1; k <= alone.harmonics; ++k) {
            EXPECT_EQ(split.whole.terms[k].cosine, alone.terms[k].cosine);
            EXPECT_EQ(split.whole.covariance[k].sine, alone.covariance[k].sine);
        }
        ToneBlock block;
        block.samples = samples.data();
        block.count = samples.size();
        block.firstTime = 0.3;
        block.cyclesPerSample = cycles;
        const HalvesFit separate = fitHalves(block);
        EXPECT_TRUE(halvesOf(split.halves, block));
        EXPECT_EQ(split.halves.valid, separate.valid);
        EXPECT_EQ(split.halves.longestRun, separate.longestRun);
        EXPECT_NEAR(split.halves.cosineDifference, separate.cosineDifference, 1e-7);  // of coefficients near 15000
        EXPECT_NEAR(split.halves.sineVariance, separate.sineVariance, 1e-15);
        EXPECT_NEAR(split.halves.phaseSpreadDeg, separate.phaseSpreadDeg, 1e-9);
    }
    // Halves too short to fit are left for the check to fit itself.
    const std::vector<Sample> tiny = noisyTone(12, 0.01, 1);
    const SplitFit split = fitWithHalves(tiny.data(), tiny.size(), 0.0, 0.01);
    EXPECT_EQ(split.halves.samples, nullptr);
    EXPECT_EQ(split.whole.valid, fitHarmonics(tiny.data(), tiny.size(), 0.0, 0.01).valid);
}

ClipCheck walkedClipCheck(const std::vector<Sample>& samples) {
    ClipCheck check;
    std::size_t run = 0;
    float loudest = 0.0f;
    for (const Sample s : samples) {
        const float magnitude = std::fabs(s);
        if (magnitude > loudest) loudest = magnitude;
        run = magnitude < 32767.0f ? 0 : run + 1;
        if (run > 0) ++check.samplesAtFullScale;
        if (run > check.longestRunAtFullScale) check.longestRunAtFullScale = run;
    }
    check.peak = loudest >= 32768.0f ? 32768 : static_cast<int>(std::lround(loudest));
    return check;
}

// Runs across stretch edges, 24-bit values just below and above the top
// code, a NaN (which counts as at full scale, never as the loudest), infinities.
TEST(OnePassFit, ClippingCheckCountsWhatAWalkCounts) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> level(-32766.0f, 32766.0f);
    std::uniform_int_distribution<int> pick(0, 9);
    const float specials[] = {32767.0f, -32767.0f, 32767.5f, -32768.0f, 32766.99f,
                              std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<Sample> samples(static_cast<std::size_t>(1 + trial * 7));
        for (Sample& s : samples) s = level(random);
        const int runs = pick(random);
        for (int r = 0; r < runs && trial % 5 != 0; ++r) {
            const std::size_t at = static_cast<std::size_t>(random() % samples.size());
            const float value = specials[static_cast<std::size_t>(r + trial) % (trial % 3 == 0 ? 7 : 5)];
            for (std::size_t n = at; n < samples.size() && n < at + static_cast<std::size_t>(r % 40); ++n) samples[n] = value;
        }
        const ClipCheck fast = checkClipping(samples.data(), samples.size());
        const ClipCheck walked = walkedClipCheck(samples);
        EXPECT_EQ(fast.peak, walked.peak) << trial;
        EXPECT_EQ(fast.samplesAtFullScale, walked.samplesAtFullScale) << trial;
        EXPECT_EQ(fast.longestRunAtFullScale, walked.longestRunAtFullScale) << trial;
    }
}

}  // namespace
}  // namespace auralyn::analysis
