// The work a tone shares with others or with an earlier step gives exactly
// what the separate computation gives: sums run side by side, the lead-in's
// noise at several frequencies at once, a block's halves and its longest run
// taken from an earlier check, fits without the harmonics' covariances, the
// clipping check's one rounding and the 16-bit rounding without a call.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "analysis/clipping.h"
#include "analysis/goertzel.h"
#include "analysis/harmonic_fit.h"
#include "analysis/lead_in_noise.h"
#include "analysis/tone_steadiness.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<Sample> noisyTone(std::size_t count, double cycles, double amplitude, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, 20.0);
    std::vector<Sample> samples(count);
    for (std::size_t n = 0; n < count; ++n) {
        const double tone = amplitude * std::sin(2.0 * kPi * cycles * static_cast<double>(n) + 0.3);
        samples[n] = static_cast<Sample>(std::lround(tone + 0.02 * tone * tone / 32767.0 + gauss(random)));
    }
    return samples;
}

void expectSameNoise(const std::optional<LeadInNoise>& a, const std::optional<LeadInNoise>& b) {
    ASSERT_EQ(a.has_value(), b.has_value());
    if (!a) return;
    EXPECT_EQ(a->variance, b->variance);
    EXPECT_EQ(a->amplitudeRms, b->amplitudeRms);
    EXPECT_EQ(a->blocks, b->blocks);
    EXPECT_EQ(a->blockLength, b->blockLength);
    EXPECT_EQ(a->quantizationLimited, b->quantizationLimited);
}

// Chains of different lengths (none, one term, several groups of eight) and
// angles on both sides of a quarter turn, where the recurrence changes form.
TEST(SharedWork, SideBySideSumsEqualOneByOne) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1e6, 1e6);
    const std::vector<std::size_t> lengths{0, 1, 2, 7, 513, 1023, 64, 300, 300, 5, 1024, 17, 900, 3, 250, 400, 12, 999, 2};
    std::vector<std::vector<double>> sequences;
    std::vector<const double*> values;
    std::vector<double> thetas;
    for (std::size_t c = 0; c < lengths.size(); ++c) {
        sequences.emplace_back(lengths[c]);
        for (double& v : sequences.back()) v = std::round(value(random));
        thetas.push_back(0.0003 + 3.1 * static_cast<double>(c) / static_cast<double>(lengths.size()));
    }
    for (const auto& s : sequences) values.push_back(s.data());
    std::vector<std::complex<double>> together(lengths.size());
    sequenceCorrelations(values.data(), lengths.data(), thetas.data(), lengths.size(), together.data());
    for (std::size_t c = 0; c < lengths.size(); ++c) {
        const std::complex<double> alone = sequenceCorrelation(values[c], lengths[c], thetas[c]);
        EXPECT_EQ(together[c], alone) << "chain " << c;
    }
    // A worked value: 1 + 2 e^{i pi/2} + 3 e^{i pi} = -2 + 2i.
    const double small[3] = {1.0, 2.0, 3.0};
    const std::complex<double> worked = sequenceCorrelation(small, 3, kPi / 2.0);
    EXPECT_NEAR(worked.real(), -2.0, 1e-12);
    EXPECT_NEAR(worked.imag(), 2.0, 1e-12);
}

// The lead-in's noise at a tone's harmonics at once, against one call per
// harmonic on a span that has seen the same requests: low tones (blocks of a
// cycle or more, fitted block by block) and high ones (moments once built).
TEST(SharedWork, NoiseAtAllHarmonicsAtOnceEqualsOneAtATime) {
    const std::vector<Sample> leadIn = noisyTone(30000, 50.0 / 48000.0, 300.0, 9);
    LeadInSpan batched{leadIn.data(), leadIn.size()};
    LeadInSpan single{leadIn.data(), leadIn.size()};
    for (int tone = 0; tone < 400; ++tone) {
        const double fundamental = (20.0 + 10.0 * tone) / 48000.0;
        const std::size_t blockLength = 2400 + static_cast<std::size_t>(tone % 7);
        double frequencies[9];
        for (int k = 2; k <= 10; ++k) frequencies[k - 2] = k * fundamental;
        std::optional<LeadInNoise> together[9];
        measureLeadInNoise(batched, blockLength, frequencies, 9, together);
        for (int f = 0; f < 9; ++f) {
            const std::optional<LeadInNoise> alone = measureLeadInNoise(single, blockLength, frequencies[f]);
            expectSameNoise(together[f], alone);
            // Harmonics at or past half the rate have no noise to give.
            EXPECT_EQ(together[f].has_value(), frequencies[f] < 0.5);
        }
    }
}

ToneBlock blockOf(const std::vector<Sample>& samples, double cycles, double firstTime) {
    ToneBlock b;
    b.samples = samples.data();
    b.count = samples.size();
    b.firstTime = firstTime;
    b.cyclesPerSample = cycles;
    b.fit = fitHarmonics(samples.data(), samples.size(), firstTime, cycles);
    return b;
}

void expectSameCheck(const SteadinessCheck& a, const SteadinessCheck& b) {
    EXPECT_EQ(a.steady, b.steady);
    EXPECT_EQ(a.flag, b.flag);
    EXPECT_EQ(a.halvesStatistic, b.halvesStatistic);
    EXPECT_EQ(a.magnitudeSpreadDb, b.magnitudeSpreadDb);
    EXPECT_EQ(a.phaseSpreadDeg, b.phaseSpreadDeg);
}

// A block's halves (and longest run) from an earlier check give the same
// verdict, whatever noise the later check judges them against; halves of
// another block, or of the same samples placed otherwise, are not taken.
TEST(SharedWork, HalvesFromAnEarlierCheckAreTakenOnlyForTheirBlock) {
    const double cycles = 997.3 / 48000.0;
    std::vector<Sample> gapped = noisyTone(4800, cycles, 12000.0, 4);
    for (std::size_t n = 3000; n < 3100; ++n) gapped[n] = 0;
    const std::vector<Sample> clean = noisyTone(4800, cycles, 12000.0, 6);

    ToneBlock gap = blockOf(gapped, cycles, 0.25);
    gap.leadInVariance = 400.0;
    const SteadinessCheck fresh = checkBlock(gap);
    EXPECT_EQ(fresh.flag, ToneFlag::Gap);
    const HalvesFit halves = fitHalves(gap);
    EXPECT_TRUE(halves.valid);
    EXPECT_EQ(halves.longestRun, 100u);
    gap.halves = &halves;
    expectSameCheck(checkBlock(gap), fresh);

    // The clean block handed the gapped block's halves fits its own.
    ToneBlock other = blockOf(clean, cycles, 0.25);
    const SteadinessCheck own = checkBlock(other);
    EXPECT_TRUE(own.steady);
    other.halves = &halves;
    EXPECT_FALSE(halvesOf(halves, other));
    expectSameCheck(checkBlock(other), own);

    // The same samples at another time origin are another block.
    ToneBlock shifted = blockOf(gapped, cycles, 0.5);
    shifted.halves = &halves;
    EXPECT_FALSE(halvesOf(halves, shifted));
    ToneBlock shiftedFresh = blockOf(gapped, cycles, 0.5);
    expectSameCheck(checkBlock(shifted), checkBlock(shiftedFresh));
}

TEST(SharedWork, FitsWithoutTheHarmonicsCovariancesAgreeOnTheRest) {
    const double cycles = 441.7 / 48000.0;
    const std::vector<Sample> samples = noisyTone(3000, cycles, 20000.0, 8);
    const HarmonicFit every = fitHarmonics(samples.data(), samples.size(), 0.4, cycles);
    const HarmonicFit fundamental =
        fitHarmonics(samples.data(), samples.size(), 0.4, cycles, FitCovariances::FundamentalOnly);
    ASSERT_TRUE(every.valid && fundamental.valid);
    EXPECT_EQ(fundamental.harmonics, every.harmonics);
    for (const double HarmonicFit::*member : {&HarmonicFit::dc, &HarmonicFit::residualSquares, &HarmonicFit::remainderSquares,
                                              &HarmonicFit::cosineVariance, &HarmonicFit::sineVariance,
                                              &HarmonicFit::cosineSineCovariance})
        EXPECT_EQ(fundamental.*member, every.*member);
    for (int k = 1; k <= every.harmonics; ++k) {
        EXPECT_EQ(fundamental.terms[k].cosine, every.terms[k].cosine);
        EXPECT_EQ(fundamental.terms[k].sine, every.terms[k].sine);
    }
    EXPECT_GT(every.covariance[2].cosine, 0.0);
    EXPECT_EQ(fundamental.covariance[2].cosine, 0.0);
}

TEST(SharedWork, RunsAndPeaksAtTheEdges) {
    const std::vector<Sample> endRun{1, 2, 3, 3, 3};
    EXPECT_EQ(longestRepeatedRun(endRun.data(), endRun.size()), 3u);
    const std::vector<Sample> startRun{7, 7, 7, 7, 1, 2};
    EXPECT_EQ(longestRepeatedRun(startRun.data(), startRun.size()), 4u);
    const std::vector<Sample> one{5};
    EXPECT_EQ(longestRepeatedRun(one.data(), one.size()), 1u);
    const std::vector<Sample> changing{1, 2, 1, 2};
    EXPECT_EQ(longestRepeatedRun(changing.data(), changing.size()), 1u);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Sample> nans{nan, nan, nan};
    EXPECT_EQ(longestRepeatedRun(nans.data(), nans.size()), 1u);

    // The peak is the loudest sample's code: 24-bit values round, at most 32768.
    const std::vector<Sample> fine{12.4f, -32767.4f, 100.0f};
    EXPECT_EQ(checkClipping(fine.data(), fine.size()).peak, 32767);
    const std::vector<Sample> over{-32767.6f, 3.0f};
    EXPECT_EQ(checkClipping(over.data(), over.size()).peak, 32768);
    const std::vector<Sample> half{-2.5f, 2.49f};
    EXPECT_EQ(checkClipping(half.data(), half.size()).peak, 3);
    const std::vector<Sample> flat{32767, 32767, 32767, 0, 32767};
    const ClipCheck check = checkClipping(flat.data(), flat.size());
    EXPECT_EQ(check.longestRunAtFullScale, 3u);
    EXPECT_EQ(check.samplesAtFullScale, 4u);
}

// Every half step from beyond one end of the range to beyond the other, and
// values near the halves, round as nearbyint (ties to even) clamped to the range.
TEST(SharedWork, SixteenBitRoundingAsNearbyint) {
    auto expected = [](float x) {
        return static_cast<std::int16_t>(std::clamp(std::nearbyint(x), -32768.0f, 32767.0f));
    };
    for (int twice = -2 * 32800; twice <= 2 * 32800; ++twice) {
        const float x = 0.5f * static_cast<float>(twice);
        ASSERT_EQ(nearestCode(x), expected(x)) << x;
        const float above = std::nextafter(x, 1e9f);
        const float below = std::nextafter(x, -1e9f);
        ASSERT_EQ(nearestCode(above), expected(above)) << above;
        ASSERT_EQ(nearestCode(below), expected(below)) << below;
    }
    EXPECT_EQ(nearestCode(1e9f), 32767);
    EXPECT_EQ(nearestCode(-1e9f), -32768);
    EXPECT_EQ(nearestCode(-0.5f), 0);
    EXPECT_EQ(nearestCode(2.5f), 2);
}

}  // namespace
}  // namespace auralyn::analysis
