#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "analysis/clipping.h"
#include "analysis/fit_uncertainty.h"
#include "analysis/harmonic_fit.h"
#include "analysis/lead_in_noise.h"
#include "analysis/sinusoid_gram.h"
#include "analysis/tone_quality.h"

namespace auralyn::analysis {
namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Partial {
    int k;
    double amplitude;
    double phase;  // of amplitude * sin(k w t + phase)
};

std::vector<analysis::Sample> block(std::size_t count, double offset, double cps, const std::vector<Partial>& partials,
                                double dc = 0.0) {
    std::vector<analysis::Sample> out(count);
    for (std::size_t n = 0; n < count; ++n) {
        const double t = offset + static_cast<double>(n);
        double v = dc;
        for (const Partial& p : partials) v += p.amplitude * std::sin(p.k * kTwoPi * cps * t + p.phase);
        out[n] = static_cast<std::int16_t>(std::lround(v));
    }
    return out;
}

double harmonicPhase(const analysis::HarmonicFit& fit, int k) { return std::atan2(fit.terms[k].cosine, fit.terms[k].sine); }

TEST(HarmonicFit, RecoversEveryHarmonicOfABlockOfFractionalCyclesAndStart) {
    const double cps = 0.02131;  // 10.65 cycles in 500 samples
    const auto samples = block(500, -0.3, cps, {{1, 20000, 0.4}, {2, 200, -1.0}, {3, 20, 2.0}, {7, 5, 0.1}}, 50.0);
    const analysis::HarmonicFit fit = analysis::fitHarmonics(samples.data(), samples.size(), -0.3, cps);
    ASSERT_TRUE(fit.valid);
    EXPECT_EQ(fit.harmonics, 10);
    EXPECT_NEAR(fit.amplitude(1), 20000.0, 0.1);
    EXPECT_NEAR(fit.phase(), 0.4, 1e-5);
    EXPECT_NEAR(fit.amplitude(2), 200.0, 0.1);
    EXPECT_NEAR(harmonicPhase(fit, 2), -1.0, 1e-3);
    EXPECT_NEAR(fit.amplitude(3), 20.0, 0.1);
    EXPECT_NEAR(fit.amplitude(7), 5.0, 0.1);
    EXPECT_NEAR(fit.amplitude(5), 0.0, 0.1);
    EXPECT_NEAR(fit.dc, 50.0, 0.05);
    // What is left is the rounding to integers: about 1/sqrt(12).
    EXPECT_NEAR(std::sqrt(fit.residualSquares / 500.0), std::sqrt(1.0 / 12.0), 0.03);
}

TEST(HarmonicFit, PhaseRefersToTheFractionalBlockStart) {
    const double cps = 1000.0 / 48000.0;
    // samples[0] lies 0.3 samples before the block start, where the sine rises through zero.
    const auto samples = block(960, -0.3, cps, {{1, 30000, 0.0}});
    const analysis::HarmonicFit atStart = analysis::fitHarmonics(samples.data(), samples.size(), -0.3, cps);
    EXPECT_NEAR(atStart.phase(), 0.0, 2e-5);
    const analysis::HarmonicFit atFirstSample = analysis::fitHarmonics(samples.data(), samples.size(), 0.0, cps);
    EXPECT_NEAR(atFirstSample.phase(), -0.3 * kTwoPi * cps, 2e-5);
    EXPECT_NEAR(atFirstSample.amplitude(1), atStart.amplitude(1), 1e-6);
}

// Standard uncertainties of a fit's fundamental, from its own residual.
struct FundamentalSd {
    double amplitude;
    double phase;  // radians
};

FundamentalSd fundamentalSd(const analysis::HarmonicFit& fit) {
    const double variance = fit.residualSquares / static_cast<double>(fit.count - fit.parameters());
    const double amplitude = std::sqrt(variance * 0.5 * (fit.cosineVariance + fit.sineVariance));
    return {amplitude, amplitude / fit.amplitude(1)};
}

// The three-parameter fit reads the joint fit's fundamental within its own
// uncertainty, which counts the harmonics it leaves in its residual: they
// leak into its fundamental (by about that uncertainty where a block holds a
// fractional number of cycles), as they do not into the joint fit's.
TEST(FundamentalFit, AgreesWithTheJointFitsFundamentalWithinItsUncertainty) {
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 4.0);
    int trials = 0;
    for (const double cps : {0.0004321, 0.00731, 0.02131, 0.1377, 0.3101}) {
        for (int trial = 0; trial < 20; ++trial, ++trials) {
            const std::size_t count = 2400 + 7 * static_cast<std::size_t>(trial);
            std::vector<analysis::Sample> samples = block(count, -0.37, cps, {{1, 12000, 0.4}, {2, 120, -1.0}, {3, 40, 2.0}});
            for (analysis::Sample& s : samples) s = static_cast<analysis::Sample>(std::lround(s + noise(random)));
            const analysis::HarmonicFit full = analysis::fitHarmonics(samples.data(), count, -0.37, cps);
            const analysis::HarmonicFit three = analysis::fitFundamental(samples.data(), count, -0.37, cps);
            ASSERT_TRUE(full.valid && three.valid);
            EXPECT_EQ(three.harmonics, 1);
            EXPECT_EQ(three.parameters(), 3);
            const bool manyCycles = cps * static_cast<double>(count) >= 10.0;
            const FundamentalSd sd = fundamentalSd(three);
            EXPECT_NEAR(three.amplitude(1), full.amplitude(1), 4.0 * sd.amplitude) << cps;
            EXPECT_NEAR(std::remainder(three.phase() - full.phase(), kTwoPi), 0.0, 4.0 * sd.phase) << cps;
            // What the joint fit takes out as harmonics stays in the residual: (120^2 + 40^2) / 2 per sample.
            const double harmonicPower = (three.residualSquares - full.residualSquares) / static_cast<double>(count);
            if (manyCycles && 3.0 * cps < 0.5) {
                EXPECT_NEAR(harmonicPower, 8000.0, 400.0) << cps;
            }
        }
    }
    EXPECT_EQ(trials, 100);
}

TEST(FundamentalFit, CleanToneAndItsCovarianceMatchTheThreeParameterFit) {
    const double cps = 997.0 / 48000.0;
    const auto samples = block(2400, 0.25, cps, {{1, 30000, -2.1}}, 7.0);
    const analysis::HarmonicFit three = analysis::fitFundamental(samples.data(), samples.size(), 0.25, cps);
    const analysis::HarmonicFit full = analysis::fitHarmonics(samples.data(), samples.size(), 0.25, cps);
    ASSERT_TRUE(three.valid);
    EXPECT_NEAR(three.amplitude(1), full.amplitude(1), 1e-3);
    EXPECT_NEAR(three.phase(), full.phase(), 1e-7);
    EXPECT_NEAR(three.dc, 7.0, 0.02);
    EXPECT_NEAR(std::sqrt(three.residualSquares / 2400.0), std::sqrt(1.0 / 12.0), 0.03);
    // The fundamental's noise gain, as the lead-in's noise fits compute it.
    const std::optional<double> gain = threeParameterNoiseGain(2400, cps);
    ASSERT_TRUE(gain);
    EXPECT_NEAR(three.cosineVariance + three.sineVariance, *gain, 1e-12 * *gain);
    EXPECT_EQ(three.covariance[2].cosine, 0.0);
}

TEST(FundamentalFit, RefusesWhatItCannotFit) {
    const auto samples = block(400, 0.0, 0.02, {{1, 1000, 0.0}});
    EXPECT_FALSE(analysis::fitFundamental(nullptr, 400, 0.0, 0.02).valid);
    EXPECT_FALSE(analysis::fitFundamental(samples.data(), 400, std::nan(""), 0.02).valid);
    EXPECT_FALSE(analysis::fitFundamental(samples.data(), 400, 0.0, 0.5).valid);
    EXPECT_FALSE(analysis::fitFundamental(samples.data(), 400, 0.0, 0.0).valid);
    EXPECT_FALSE(analysis::fitFundamental(samples.data(), 3, 0.0, 0.02).valid);
    EXPECT_EQ(analysis::fitFundamental(samples.data(), 3, 0.0, 0.02).count, 3u);
    EXPECT_TRUE(analysis::fitFundamental(samples.data(), 4, 0.0, 0.02).valid);
}

// The residual is the small difference of two large sums: the recurrences must
// stay exact to about 1e-13 where cos(k w) nears 1 or -1 over a long block.
TEST(HarmonicFit, ResidualStaysAccurateForLowTonesAndTonesNearHalfTheRate) {
    for (const double cps : {20.0 / 48000.0, 0.4987}) {
        const auto samples = block(48000, 0.0, cps, {{1, 32767, 0.3}});
        const analysis::HarmonicFit fit = analysis::fitHarmonics(samples.data(), samples.size(), 0.0, cps);
        ASSERT_TRUE(fit.valid);
        EXPECT_NEAR(std::sqrt(fit.residualSquares / 48000.0) / std::sqrt(1.0 / 12.0), 1.0, 0.03) << cps;
        EXPECT_NEAR(std::sqrt(fit.remainderSquares / 48000.0) / std::sqrt(1.0 / 12.0), 1.0, 0.03) << cps;
    }
}

TEST(HarmonicFit, ClosedFormGramMatchesTheSumOverTheBlock) {
    const std::size_t count = 333;
    const double t0 = 0.37;
    const double w = kTwoPi * 0.0437;
    analysis::SquareMatrix gram{};
    analysis::sinusoidGram(count, t0, w, 10, gram);
    auto column = [&](int p, double t) {
        if (p == 0) return 1.0;
        const int k = (p + 1) / 2;
        return p % 2 == 1 ? std::cos(k * w * t) : std::sin(k * w * t);
    };
    for (int i = 0; i < 21; ++i) {
        for (int j = 0; j < 21; ++j) {
            long double sum = 0.0L;
            for (std::size_t n = 0; n < count; ++n) sum += column(i, t0 + n) * column(j, t0 + n);
            EXPECT_NEAR(gram[i][j], static_cast<double>(sum), 1e-9) << i << ", " << j;
        }
    }
}

TEST(HarmonicFit, JointFitDoesNotLeakWhereACorrelationDoes) {
    const double cps = 10.5 / 480.0;  // a block of 10.5 cycles
    const auto samples = block(480, 0.0, cps, {{1, 30000, 0.7}});
    std::complex<double> correlation = 0.0;
    for (std::size_t n = 0; n < samples.size(); ++n)
        correlation += static_cast<double>(samples[n]) * std::polar(1.0, 2.0 * kTwoPi * cps * static_cast<double>(n));
    const double correlatedH2 = 2.0 * std::abs(correlation) / 480.0;
    EXPECT_GT(20.0 * std::log10(correlatedH2 / 30000.0), -60.0);
    const analysis::HarmonicFit fit = analysis::fitHarmonics(samples.data(), samples.size(), 0.0, cps);
    EXPECT_LT(20.0 * std::log10(fit.amplitude(2) / fit.amplitude(1)), -100.0);
}

TEST(HarmonicFit, HarmonicsAtOrAboveHalfTheRateAreLeftOut) {
    EXPECT_TRUE(analysis::harmonicFits(3, 0.15, 100));
    EXPECT_FALSE(analysis::harmonicFits(4, 0.15, 100));
    EXPECT_FALSE(analysis::harmonicFits(2, 0.25, 100000));  // exactly half the rate
    EXPECT_FALSE(analysis::harmonicFits(1, 0.4999, 1000));  // not a cycle apart from its mirror image
    const auto samples = block(400, 0.0, 0.15, {{1, 10000, 0.0}, {3, 100, 0.0}});
    const analysis::ToneQuality q = analysis::measureTone(samples.data(), samples.size(), 0.0, 0.15, {});
    ASSERT_TRUE(q.fitted);
    EXPECT_FALSE(q.harmonicDbc[2].has_value());  // not in the block: left out, not read off the rounding
    ASSERT_TRUE(q.harmonicDbc[3].has_value());
    EXPECT_NEAR(*q.harmonicDbc[3], -40.0, 0.05);
    for (int k = 4; k <= analysis::kMaxHarmonic; ++k) EXPECT_FALSE(q.harmonicDbc[k].has_value()) << k;
    ASSERT_TRUE(q.thdDb.has_value());
    EXPECT_NEAR(*q.thdDb, -40.0, 0.05);
    EXPECT_NEAR(*q.thdPercent, 1.0, 0.01);
}

void expectFinite(const analysis::ToneQuality& q) {
    EXPECT_TRUE(std::isfinite(q.amplitude) && std::isfinite(q.phase) && std::isfinite(q.dc));
    EXPECT_TRUE(std::isfinite(q.magnitudeU95Db) && std::isfinite(q.phaseU95Deg));
    for (const auto* value : {&q.levelDbfs, &q.thdDb, &q.thdPercent, &q.thdnDb, &q.noiseFloorDbfs, &q.snrDb}) {
        EXPECT_TRUE(!value->has_value() || std::isfinite(**value));
    }
    for (const auto& h : q.harmonicDbc) {
        EXPECT_TRUE(!h || std::isfinite(*h));
    }
}

TEST(ToneQuality, ToneBuriedInNoiseGetsLargeIntervalsAndNoHarmonics) {
    std::mt19937_64 engine(7);
    std::normal_distribution<double> normal(0.0, 300.0);
    std::vector<analysis::Sample> noise(20000);
    for (auto& s : noise) s = static_cast<std::int16_t>(std::lround(normal(engine)));
    const double cps = 1000.0 / 48000.0;
    const analysis::ToneQuality q = analysis::measureTone(noise.data(), 960, 0.0, cps, {noise.data() + 960, noise.size() - 960});
    expectFinite(q);
    ASSERT_TRUE(q.snrDb.has_value());
    ASSERT_LT(*q.snrDb, 0.0);
    for (const auto& h : q.harmonicDbc) EXPECT_FALSE(h.has_value());
    EXPECT_FALSE(q.thdDb.has_value());
    EXPECT_GT(q.magnitudeU95Db, 6.0);
    EXPECT_GT(q.phaseU95Deg, 60.0);
}

TEST(ToneQuality, SilenceAndMissingBlocksYieldNoNumbersThatAreNotThere) {
    const std::vector<analysis::Sample> silence(960, 0);
    const double cps = 1000.0 / 48000.0;
    const analysis::ToneQuality q = analysis::measureTone(silence.data(), silence.size(), 0.0, cps, {silence.data(), silence.size()});
    expectFinite(q);
    EXPECT_FALSE(q.levelDbfs.has_value());
    EXPECT_FALSE(q.snrDb.has_value());
    EXPECT_FALSE(q.thdnDb.has_value());
    EXPECT_EQ(q.magnitudeU95Db, analysis::kMaxMagnitudeU95Db);
    EXPECT_EQ(q.phaseU95Deg, analysis::kMaxPhaseU95Deg);
    // A digitally silent lead-in: the floor of 16-bit rounding, 2 sqrt(1/12) / sqrt(N) below full scale.
    ASSERT_TRUE(q.noiseFloorDbfs.has_value());
    EXPECT_NEAR(*q.noiseFloorDbfs, 20.0 * std::log10(2.0 * std::sqrt(1.0 / 12.0 / 960.0) / 32767.0), 0.05);

    const analysis::ToneQuality missing = analysis::measureTone(nullptr, 960, 0.0, cps, {});
    EXPECT_FALSE(missing.fitted);
    expectFinite(missing);
    const analysis::ToneQuality tooShort = analysis::measureTone(silence.data(), 5, 0.0, cps, {});
    EXPECT_FALSE(tooShort.fitted);
    const analysis::ToneQuality badFrequency = analysis::measureTone(silence.data(), 960, 0.0, 0.7, {});
    EXPECT_FALSE(badFrequency.fitted);
}

TEST(ToneQuality, LeadInNoiseFloorFollowsTheBlockLength) {
    std::mt19937_64 engine(3);
    std::normal_distribution<double> normal(0.0, 50.0);
    std::vector<analysis::Sample> leadIn(200000);
    for (auto& s : leadIn) s = static_cast<std::int16_t>(std::lround(normal(engine)));
    const double sigma = std::sqrt(2500.0 + 1.0 / 12.0);
    for (const std::size_t n : {960u, 4800u, 24000u}) {
        const auto noise = analysis::measureLeadInNoise({leadIn.data(), leadIn.size()}, n, 20.0 / 48000.0 * 50.0);
        ASSERT_TRUE(noise.has_value());
        EXPECT_NEAR(20.0 * std::log10(noise->amplitudeRms / (2.0 * sigma / std::sqrt(double(n)))), 0.0, 1.5) << n;
    }
    // A short lead-in is measured in shorter blocks, down to one cycle.
    const auto shortLeadIn = analysis::measureLeadInNoise({leadIn.data(), 900}, 960, 0.02);
    ASSERT_TRUE(shortLeadIn.has_value());
    EXPECT_EQ(shortLeadIn->blockLength, 50u);
    EXPECT_EQ(shortLeadIn->blocks, 18u);
    EXPECT_FALSE(analysis::measureLeadInNoise({leadIn.data(), 45}, 960, 0.02).has_value());
}

TEST(FitUncertainty, StudentQuantileMatchesTables) {
    EXPECT_NEAR(analysis::studentT975(1), 12.706, 1e-3);
    EXPECT_NEAR(analysis::studentT975(3), 3.182, 1e-3);
    EXPECT_NEAR(analysis::studentT975(9), 2.262, 1e-3);
    EXPECT_NEAR(analysis::studentT975(10), 2.228, 1e-3);
    EXPECT_NEAR(analysis::studentT975(30), 2.042, 1e-3);
    EXPECT_NEAR(analysis::studentT975(1e6), 1.960, 1e-3);
    EXPECT_NEAR(analysis::studentT975(0.0), 12.706, 1e-3);
}

TEST(Clipping, CountsSamplesAtEitherEndOfTheRange) {
    const std::vector<analysis::Sample> samples = {0, 32767, 32766, -32767, -32768, -5};
    const analysis::ClipCheck check = analysis::checkClipping(samples.data(), samples.size());
    EXPECT_EQ(check.peak, 32768);
    EXPECT_EQ(check.samplesAtFullScale, 3u);
    EXPECT_TRUE(check.touchesFullScale());
    const std::vector<analysis::Sample> quiet = {100, -32766, 32766};
    EXPECT_FALSE(analysis::checkClipping(quiet.data(), quiet.size()).touchesFullScale());
    EXPECT_FALSE(analysis::checkClipping(nullptr, 10).touchesFullScale());
}

}  // namespace
}  // namespace auralyn::analysis
