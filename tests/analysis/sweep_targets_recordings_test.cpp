// How the recording was made rather than what it went through: a recorder's
// linear-phase filter, another start offset, a recording cut short
// (sweep_targets.h).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/recording_analysis.h"
#include "sweep_targets.h"

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
namespace auralyn::test::targets {
namespace {

// A recorder's linear-phase anti-aliasing filter (here the resampler's
// windowed sinc) rings ahead of each tone's start; in the short tails of the
// high tones that ringing must not read as a jump. Clean recordings, found
// by their pulse, at a fraction of a sample: no jump, no tone flagged.
TEST(SweepTargets, CleanRecordingsThroughALinearPhaseRecorderClaimNoJump) {
    const Device devices[] = {{"gain 0 dB", {}, 1.0}, {"high-pass 3 kHz", {highPass(3000)}}};
    std::uint64_t seed = 21;
    for (const Device& d : devices) {
        const std::vector<analysis::Sample> samples = recording(d, 1234.375, 0.0, seed++);
        const analysis::RecordingAnalysis result = analysis::analyzeRecording(plan(), {samples, nullptr});
        ASSERT_TRUE(result.located) << d.name;
        EXPECT_EQ(result.sync, analysis::TimeBase::Pulse) << d.name;
        EXPECT_TRUE(result.sweep.jumps.empty()) << d.name;
        std::size_t flagged = 0;
        for (const analysis::ToneMeasurement& t : result.sweep.tones) {
            const bool high = t.frequency > 10000.0;
            flagged += high && t.steadiness && t.steadiness->flag != analysis::ToneFlag::None ? 1 : 0;
        }
        EXPECT_EQ(flagged, 0u) << d.name;
    }
}

// The same device recorded twice, started a whole number and a fraction of a
// sample apart: the same phases within their intervals, whether the tones
// alone or a pulse found the sweep (a band-pass smears the pulse, and its
// trigger keeps the recorder's fraction of a sample). The two recordings'
// noise is independent, so the difference of a tone's phases has the 95 %
// half-width of the two intervals in quadrature; where the intervals are
// honest one tone in twenty lies outside, so at least 90 % must agree, as
// for every interval's coverage.
TEST(SweepTargets, TheSameDeviceRecordedAtAnotherOffsetReadsTheSamePhases) {
    const struct {
        Device device;
        analysis::TimeBase sync;
    } cases[] = {{{"gain -30 dB", {}, 0.0316}, analysis::TimeBase::Sweep},
                 {{"band-pass 300 Hz-3 kHz", {highPass(300), lowPass(3000)}}, analysis::TimeBase::Pulse}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device.name);
        const std::vector<analysis::Sample> early = recording(c.device, 100.0, 0.0, 5);
        const std::vector<analysis::Sample> late = recording(c.device, 2345.625, 0.0, 6);
        const analysis::RecordingAnalysis a = analysis::analyzeRecording(plan(), {early, nullptr});
        const analysis::RecordingAnalysis b = analysis::analyzeRecording(plan(), {late, nullptr});
        ASSERT_TRUE(a.located && b.located);
        EXPECT_EQ(a.sync, c.sync);
        EXPECT_EQ(b.sync, c.sync);
        EXPECT_NEAR(b.delaySamples - a.delaySamples, 2245.625, std::hypot(a.delayU95Samples, b.delayU95Samples) + 1e-3);
        ASSERT_EQ(a.sweep.tones.size(), b.sweep.tones.size());
        std::size_t agreeing = 0;
        for (std::size_t i = 0; i < a.sweep.tones.size(); ++i) {
            const analysis::ToneQuality& qa = *a.sweep.tones[i].quality;
            const analysis::ToneQuality& qb = *b.sweep.tones[i].quality;
            const double difference = std::remainder(qa.phase - qb.phase, 2.0 * kPi) * 180.0 / kPi;
            agreeing += std::fabs(difference) <= std::hypot(qa.phaseU95Deg, qb.phaseU95Deg) ? 1 : 0;
        }
        EXPECT_GE(static_cast<double>(agreeing), 0.90 * static_cast<double>(a.sweep.tones.size()));
    }
}

// A recording stopped two thirds of the way through the sweep (at a
// microphone's level, no pulse to find; and at full level, with one): found,
// the tones it holds measured (the low octaves' long tones: about 70 of 240),
// the rest reported as not recorded.
TEST(SweepTargets, ARecordingThatEndsTwoThirdsThroughIsLocatedAndSaysSo) {
    const Device devices[] = {{"gain -30 dB", {}, 0.0316}, {"gain 0 dB", {}, 1.0}};
    std::uint64_t seed = 51;
    for (const Device& d : devices) {
        SCOPED_TRACE(d.name);
        const double delay = 1234.375;
        std::vector<analysis::Sample> samples = recording(d, delay, 100.0, seed++);
        samples.resize(static_cast<std::size_t>(delay + 2.0 * static_cast<double>(played().size()) / 3.0));
        const analysis::RecordingAnalysis result = analysis::analyzeRecording(plan(), {samples, nullptr});
        ASSERT_TRUE(result.located);
        EXPECT_EQ(result.sweep.end, measurer::WalkEnd::RecordingEnded);
        EXPECT_GT(result.sweep.tonesMissing, 0u);
        EXPECT_NEAR(result.clock.ppm, 100.0, result.clock.u95);
        EXPECT_GT(result.sweep.tones.size(), 50u);
    }
}

}  // namespace
}  // namespace auralyn::test::targets
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
