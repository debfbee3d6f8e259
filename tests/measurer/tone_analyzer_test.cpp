#include "measurer/tone_analyzer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "measurer/sine_cosine.h"

namespace auralyn {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

double angleOf(double frequency, std::uint32_t rate, std::int32_t i) {
    const long double step = (static_cast<long double>(kTwoPi) * frequency) / static_cast<long double>(rate);
    return static_cast<double>(step * static_cast<long double>(i));
}

std::int16_t nearest(double value) { return static_cast<std::int16_t>(std::lround(value)); }

std::vector<std::int16_t> sineBlock(double frequency, std::uint32_t rate, std::int32_t count, double amplitude,
                                    double phase) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) block[i] = nearest(amplitude * std::sin(angleOf(frequency, rate, i) + phase));
    return block;
}

struct Measured {
    double amplitude;
    double phase;
};

Measured measure(const std::vector<std::int16_t>& block, double frequency, std::uint32_t rate) {
    measurer::ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(rate);
    analyzer.setSamples(block.data());
    analyzer.setTone(frequency, static_cast<std::int32_t>(block.size()));
    return {analyzer.amplitude(), analyzer.phase()};
}

// Rounding to 16 bits moves a block's amplitude by at most 1 and its phase by at most 1/A.
constexpr double kRoundingTolerance = 0.5;

// The two correlation passes written out plainly, one sine per sample each.
Measured measureDirectly(const std::vector<std::int16_t>& block, double frequency, std::uint32_t rate) {
    const auto n = static_cast<std::int32_t>(block.size());
    double s = 0.0, c = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        s += std::sin(angleOf(frequency, rate, i)) * block[i];
        c += std::cos(angleOf(frequency, rate, i)) * block[i];
    }
    const double measured = 2.0 * std::sqrt(s * s + c * c) / n;
    const double phase = std::atan2(c, s);
    double rs = 0.0, rc = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        const double theta = angleOf(frequency, rate, i);
        const double psi = theta + phase;
        rs += std::sin(theta) * std::sin(psi);
        rc += std::cos(theta) * std::sin(psi);
    }
    return {measured / (2.0 * std::sqrt(rs * rs + rc * rc) / n), phase};
}

TEST(ToneAnalyzerMeasures, WholeCycleBlocksGiveAmplitudeAndPhaseBack) {
    for (double phase : {-3.0, -1.2, 0.0, 0.4, 2.9}) {
        // 1000 Hz at 48000 Hz: 48 samples per cycle, 20 cycles.
        const Measured m = measure(sineBlock(1000.0, 48000, 960, 20000.0, phase), 1000.0, 48000);
        EXPECT_NEAR(m.amplitude, 20000.0, kRoundingTolerance) << phase;
        EXPECT_NEAR(m.phase, phase, 1e-5) << phase;
    }
    const Measured low = measure(sineBlock(20.0, 48000, 24000, 32767.0, 1.0), 20.0, 48000);
    EXPECT_NEAR(low.amplitude, 32767.0, kRoundingTolerance);
    EXPECT_NEAR(low.phase, 1.0, 1e-6);
}

TEST(ToneAnalyzerMeasures, FractionalCycleBlockIsCorrectedByTheReference) {
    const std::vector<std::int16_t> block = sineBlock(1000.0, 44100, 463, 10000.0, 0.3);
    measurer::ToneAnalyzer analyzer(block.data());
    analyzer.setSampleRate(44100);
    analyzer.setTone(1000.0, 463);
    EXPECT_NEAR(analyzer.measuredAmplitude(), 10001.0, 0.1);
    EXPECT_NEAR(analyzer.amplitude(), 10000.03, 0.01);
    EXPECT_NEAR(analyzer.phase(), 0.29995, 0.00002);
}

TEST(ToneAnalyzerMeasures, CosineIsPlusHalfPiAndNegatedCosineMinusHalfPi) {
    std::vector<std::int16_t> cosine(960), negated(960);
    for (std::int32_t i = 0; i < 960; ++i) {
        cosine[i] = nearest(15000.0 * std::cos(angleOf(1000.0, 48000, i)));
        negated[i] = static_cast<std::int16_t>(-cosine[i]);
    }
    EXPECT_NEAR(measure(cosine, 1000.0, 48000).phase, kPi / 2, 1e-5);
    EXPECT_NEAR(measure(negated, 1000.0, 48000).phase, -kPi / 2, 1e-5);
    EXPECT_NEAR(measure(negated, 1000.0, 48000).amplitude, 15000.0, kRoundingTolerance);
}

TEST(ToneAnalyzerMeasures, ReferenceFromTheMeasurementPassMatchesASecondPass) {
    struct Case {
        double frequency;
        std::uint32_t rate;
        std::int32_t count;
        double phase;
    };
    for (const Case& c : {Case{1000.0, 44100, 463, 0.3}, Case{17.3, 8000, 4700, -2.2}, Case{15000.0, 48000, 961, 1.7},
                          Case{3999.0, 8000, 81, 3.1}, Case{10000.5, 44100, 904, -0.01}}) {
        const std::vector<std::int16_t> block = sineBlock(c.frequency, c.rate, c.count, 25000.0, c.phase);
        const Measured fast = measure(block, c.frequency, c.rate);
        const Measured direct = measureDirectly(block, c.frequency, c.rate);
        EXPECT_NEAR(fast.amplitude, direct.amplitude, 1e-6) << c.frequency;
        EXPECT_NEAR(fast.phase, direct.phase, 1e-10) << c.frequency;
    }
}

TEST(ToneAnalyzerMeasures, VectorisedSinesAgreeWithTheLibrary) {
    double angles[measurer::kSineCosineBlock], sines[measurer::kSineCosineBlock], cosines[measurer::kSineCosineBlock];
    double plainSines[measurer::kSineCosineBlock], plainCosines[measurer::kSineCosineBlock];
    for (double scale : {1e-3, 1.0, 1e3, 2e5}) {
        for (std::size_t i = 0; i < measurer::kSineCosineBlock; ++i) angles[i] = scale * (static_cast<double>(i) - 200.5);
        for (std::size_t count : {measurer::kSineCosineBlock, std::size_t{7}, std::size_t{1}}) {
            measurer::sineCosine(angles, sines, cosines, count);
            measurer::sineCosinePlain(angles, plainSines, plainCosines, count);
            for (std::size_t i = 0; i < count; ++i) {
                EXPECT_NEAR(sines[i], plainSines[i], 1e-15) << angles[i];
                EXPECT_NEAR(cosines[i], plainCosines[i], 1e-15) << angles[i];
            }
        }
    }
}

TEST(ToneAnalyzerDegenerateBlocks, SilenceAndMissingSamplesGiveZero) {
    const std::vector<std::int16_t> silence(960, 0);
    const Measured m = measure(silence, 1000.0, 48000);
    EXPECT_EQ(m.amplitude, 0.0);
    EXPECT_EQ(m.phase, 0.0);

    measurer::ToneAnalyzer none(nullptr);
    none.setSampleRate(48000);
    none.setTone(1000.0, 960);
    EXPECT_EQ(none.amplitude(), 0.0);
    EXPECT_EQ(none.phase(), 0.0);
}

TEST(ToneAnalyzerDegenerateBlocks, EmptyBlockAndZeroReferenceDoNotDivideByZero) {
    const std::vector<std::int16_t> block(4, 1000);
    measurer::ToneAnalyzer analyzer(block.data());
    analyzer.setSampleRate(48000);
    analyzer.setTone(1000.0, 0);
    EXPECT_EQ(analyzer.amplitude(), 0.0);
    EXPECT_EQ(analyzer.phase(), 0.0);
    analyzer.setTone(1000.0, -5);
    EXPECT_EQ(analyzer.amplitude(), 0.0);

    // One sample of 0: phase 0 and a reference of sin(0) = 0.
    const std::int16_t zero = 0;
    measurer::ToneAnalyzer single(&zero);
    single.setSampleRate(48000);
    single.setTone(1000.0, 1);
    EXPECT_EQ(single.amplitude(), 0.0);
    EXPECT_EQ(single.phase(), 0.0);
    EXPECT_FALSE(std::isnan(single.amplitude()));
}

TEST(ToneAnalyzerCache, SameSettingsKeepResultsAndRealChangesRecompute) {
    std::vector<std::int16_t> block = sineBlock(1000.0, 48000, 960, 10000.0, 0.5);
    measurer::ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(48000);
    analyzer.setSamples(block.data());
    analyzer.setTone(1000.0, 960);
    const double first = analyzer.amplitude();
    EXPECT_NEAR(first, 10000.0, kRoundingTolerance);

    // Overwritten in place, with no setter call or with unchanged values: the cache holds.
    const std::vector<std::int16_t> second = sineBlock(1000.0, 48000, 960, 5000.0, -0.5);
    std::copy(second.begin(), second.end(), block.begin());
    EXPECT_EQ(analyzer.amplitude(), first);
    analyzer.setTone(1000.0, 960);
    analyzer.setSamples(block.data());
    analyzer.setSampleRate(48000);
    EXPECT_EQ(analyzer.amplitude(), first);
    EXPECT_NEAR(analyzer.phase(), 0.5, 1e-5);

    // Only the count changes: recomputed over the new samples.
    analyzer.setTone(1000.0, 480);
    EXPECT_NEAR(analyzer.amplitude(), 5000.0, kRoundingTolerance);
    EXPECT_NEAR(analyzer.phase(), -0.5, 1e-5);

    // The loop's own reset after refilling the buffer.
    const std::vector<std::int16_t> third = sineBlock(1000.0, 48000, 960, 7000.0, 1.0);
    std::copy(third.begin(), third.end(), block.begin());
    analyzer.samplesChanged();
    EXPECT_NEAR(analyzer.amplitude(), 7000.0, kRoundingTolerance);
}

TEST(ToneAnalyzerCache, RateAndPointerChangesRecompute) {
    const std::vector<std::int16_t> a = sineBlock(1000.0, 48000, 960, 10000.0, 0.0);
    const std::vector<std::int16_t> b = sineBlock(1000.0, 48000, 960, 3000.0, 0.0);
    measurer::ToneAnalyzer analyzer(a.data());
    analyzer.setSampleRate(48000);
    analyzer.setTone(1000.0, 960);
    EXPECT_NEAR(analyzer.amplitude(), 10000.0, kRoundingTolerance);
    analyzer.setSampleRate(96000);  // the same samples now hold 2000 Hz
    EXPECT_NEAR(analyzer.amplitude(), 0.0, 0.5);
    analyzer.setTone(2000.0, 960);
    EXPECT_NEAR(analyzer.amplitude(), 10000.0, kRoundingTolerance);
    analyzer.setSampleRate(48000);
    analyzer.setTone(1000.0, 960);
    EXPECT_NEAR(analyzer.amplitude(), 10000.0, kRoundingTolerance);
    analyzer.setSamples(b.data());
    EXPECT_NEAR(analyzer.amplitude(), 3000.0, kRoundingTolerance);
}

}  // namespace
}  // namespace auralyn
