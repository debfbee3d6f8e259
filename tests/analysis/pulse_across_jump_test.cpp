// A recording whose timing jumped between its first sync pulse and its tones
// (as one repaired of a jump in its first tone is, where the tones only
// estimated its size): the pulse lies off every tone by what the estimate
// missed, and the tones must place themselves. Through a device whose delay
// changes with frequency their common start leaves some blocks reaching into
// their neighbours: those tones' frequencies, biased alike, must stay out of
// the clock figure, or it reads tens of ppm off within a few ppm's interval.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "clock_test_recordings.h"
#include "independent_recording.h"
#include "sample_vectors.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

constexpr int kMissedSamples = 63;

struct CutRecording {
    std::vector<std::int16_t> samples;
    double ratio = 1.0;
    std::int64_t pulseTrigger = 0;  // the uncut recording's
};

// `kMissedSamples` zeros put in the silence after the first pulse of a
// recording of the default sweep through the bending device (one clock).
CutRecording recordingCutAfterThePulse(const sweep::SweepPlan& plan, std::uint64_t seed) {
    test::RecordingChain chain;
    chain.whiteDbfs = -70.0;
    chain.recorderPpm = 0.0;
    chain.seed = seed;
    const test::IndependentRecording recording = test::recordIndependently(plan, chain);
    const analysis::ClockCorrectedSweep uncut =
        analysis::measureWithClockCorrection(plan, test::asSamples(recording.samples));
    EXPECT_TRUE(uncut.timedByPulse);
    CutRecording cut{recording.samples, recording.ratio, uncut.trigger};
    const std::int32_t pulse = sweep::syncPulseSamples(plan.params());
    const std::int32_t silence = sweep::syncSettlingSamples(plan.params()) - pulse;
    const auto at = static_cast<std::ptrdiff_t>(std::llround(recording.pulseStart)) + pulse + silence / 2;
    cut.samples.insert(cut.samples.begin() + at, kMissedSamples, std::int16_t{0});
    return cut;
}

TEST(PulseAcrossAJump, IgnoredTheTonesPlaceThemselvesAndTheClockHoldsTheTruth) {
    const sweep::SweepPlan plan = test::defaultSweep();
    for (const std::uint64_t seed : {71u, 72u, 73u}) {
        const CutRecording cut = recordingCutAfterThePulse(plan, seed);
        const analysis::ClockCorrectedSweep measured = analysis::measureWithClockCorrection(
            plan, test::asSamples(cut.samples), analysis::FirstPulse::Ignored);
        ASSERT_TRUE(measured.corrected) << seed;
        EXPECT_TRUE(measured.pulseFound) << seed;  // still reported
        EXPECT_FALSE(measured.timedByPulse) << seed;
        EXPECT_NEAR(static_cast<double>(measured.trigger - cut.pulseTrigger), kMissedSamples, 2.0) << seed;
        const double error = ((1.0 + measured.clock.ppm * 1e-6) / cut.ratio - 1.0) * 1e6;
        EXPECT_LE(std::fabs(error), measured.clock.u95) << seed << (measured.clockFromPhases ? " phases" : " frequencies");
    }
}

}  // namespace
}  // namespace auralyn
