// The grid a recording's samples lie on, and the bound on what rounding to a
// coarse grid without dither does to a tone.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/coarse_rounding.h"

namespace auralyn {
namespace {

TEST(CoarseRounding, TheGridEverySampleLiesOn) {
    EXPECT_EQ(analysis::sampleGrid({0, 256, -512, 1024}, 1.0), 256.0);
    EXPECT_EQ(analysis::sampleGrid({0, 256, -512, 3}, 1.0), 1.0);
    EXPECT_EQ(analysis::sampleGrid({0, 0, 0}, 1.0), 1.0);  // silence tells nothing
    EXPECT_EQ(analysis::sampleGrid({8192, -8192}, 1.0), 4096.0);
    // A 24-bit recording: steps of 1/256 of a 16-bit code.
    EXPECT_EQ(analysis::sampleGrid({0.5f, 1.25f, -3.00390625f}, 1.0 / 256.0), 1.0 / 256.0);
    EXPECT_EQ(analysis::sampleGrid({0.5f, 1.5f, -3.0f}, 1.0 / 256.0), 0.5);
}

analysis::ToneMeasurement steadyTone(double amplitude, double residualRms) {
    analysis::ToneMeasurement tone;
    analysis::ToneQuality q;
    q.fitted = true;
    q.amplitude = amplitude;
    q.residualRms = residualRms;
    q.magnitudeU95Db = 0.01;
    q.phaseU95Deg = 0.05;
    tone.quality = q;
    tone.steadiness = analysis::SteadinessCheck{};
    return tone;
}

TEST(CoarseRounding, UnditheredTonesAreFlaggedAndBoundedDitheredOnesNot) {
    // Grid 256: rounding alone leaves 256^2 / 12 (RMS 73.9); dither a third of a step squared (RMS 128).
    std::vector<analysis::ToneMeasurement> tones{steadyTone(8192.0, 70.0), steadyTone(8192.0, 128.0)};
    analysis::boundCoarseRounding(256.0, 1.0, tones);
    EXPECT_EQ(tones[0].steadiness->flag, analysis::ToneFlag::Quantized);
    EXPECT_TRUE(tones[0].steadiness->steady);
    const double relative = 1.1 * 2.0 * 256.0 / 3.14159265358979 / 8192.0;
    EXPECT_NEAR(tones[0].quality->magnitudeU95Db, 0.01 + 20.0 * std::log10(1.0 + relative), 1e-12);
    EXPECT_NEAR(tones[0].quality->phaseU95Deg, 0.05 + std::asin(relative) * 180.0 / 3.14159265358979, 1e-9);
    EXPECT_EQ(tones[1].steadiness->flag, analysis::ToneFlag::None);
    EXPECT_EQ(tones[1].quality->magnitudeU95Db, 0.01);
    // A recording no coarser than its file is left as it is.
    std::vector<analysis::ToneMeasurement> fine{steadyTone(8192.0, 0.1)};
    analysis::boundCoarseRounding(1.0, 1.0, fine);
    EXPECT_EQ(fine[0].steadiness->flag, analysis::ToneFlag::None);
}

}  // namespace
}  // namespace auralyn
