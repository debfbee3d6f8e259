// The default sweep through steep filters (a woofer's low-pass, a tweeter's
// high-pass), whose stop bands bury tones in the noise and whose delays bend
// along the sweep: every tone clear of the noise within its limits and
// intervals, none under it read as measured (sweep_targets.h).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/checked_tones.h"
#include "analysis/recording_analysis.h"
#include "sanitizer_build.h"
#include "sweep_targets.h"

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
namespace auralyn::test::targets {
namespace {

// A woofer's 40 Hz low-pass delays its loud low tones by about 190 samples
// and its high ones by next to nothing; the start the loud tones set would
// put every block above a few hundred hertz some 130 samples late, running
// into the next tone (levels 0.4 dB off, phases 4 degrees, flagged
// unsteady). Each block is taken where its own tone arrives: every tone
// within its limits, none of them unsteady, on both clocks.
TEST(SweepTargets, AWoofersLowPassHasEachBlockTakenWhereItsToneArrives) {
    const Device device{"low-pass 40 Hz", {lowPass(40)}};
    std::uint64_t seed = 62;
    for (const double ppm : {0.0, -200.0}) {
        // One clock is every code path for the sanitizer pass.
        if (kUnderSanitizer && ppm != 0.0) break;
        const Figures f = measure(device, ppm, 1234.375, seed++);
        printRow(device.name, ppm, f);
        expectHonest(f, device.name);
        EXPECT_LE(f.worstOverLimit, 1.0) << ppm;
        EXPECT_EQ(f.unsteady, 0u) << ppm;
    }
}

// In a stop band every tone's fit reads noise, whose amplitude is Rayleigh
// distributed about the noise floor: of tens of such tones per sweep, one in
// a hundred stood 6 dB above its floor, and this recording's 19.9 kHz tone
// (exactly 125.7 dB down, 11.6 dB under its floor) read 6.6 dB above it. The
// threshold that tells a tone from noise passes noise alone once in
// kNoiseToneFalseAlarm tones.
TEST(SweepTargets, ANoiseToneThatHappensToStandOutIsStillBelowTheNoise) {
    const double k = std::sqrt(std::pow(10.0, analysis::kBelowNoiseSnrDb / 10.0));
    EXPECT_NEAR(std::exp(-k * k), analysis::kNoiseToneFalseAlarm, 1e-8);
    const Device device{"low-pass 40 Hz", {lowPass(40)}};
    const Figures f = measure(device, 0.0, 1234.375, 61);
    printRow(device.name, 0.0, f);
    EXPECT_EQ(f.noiseTonesMeasured, 0u);
    EXPECT_GT(f.belowNoise, 5u);
}

// Over a reference wire the time base is the wire's, whose tones all arrive
// together: the device's blocks stay at the common placement, where a 40 Hz
// low-pass's loud low tones arrive some 190 samples late. Those tones' blocks
// are long and their settling longer, and its high tones arrive on time:
// every tone within its limits and its intervals, on both clocks.
TEST(SweepTargets, AWoofersLowPassOverAReferenceWireKeepsItsBlocksAndItsLimits) {
    const Device device{"low-pass 40 Hz", {lowPass(40)}};
    std::uint64_t seed = 71;
    for (const double ppm : {0.0, -200.0}) {
        if (kUnderSanitizer && ppm != 0.0) break;
        const Figures f = measureOverReference(device, ppm, 1234.375, seed);
        seed += 2;
        printRow(device.name + ", reference", ppm, f);
        SCOPED_TRACE(ppm);
        ASSERT_TRUE(f.located);
        EXPECT_EQ(f.sync, "reference");
        EXPECT_GT(f.compared, 100u);
        EXPECT_LE(f.worstOverLimit, 1.0);
        EXPECT_GE(static_cast<double>(f.covered), 0.9 * static_cast<double>(f.compared));
        EXPECT_GE(static_cast<double>(f.phaseCovered), 0.9 * static_cast<double>(f.compared));
        EXPECT_EQ(f.noiseTonesMeasured, 0u);
        EXPECT_LE(std::fabs(f.clockError), f.clockU95);
    }
}

// A tweeter's high-pass at a microphone's level: the first 170 tones lie on
// its slope, most of them in the noise or barely above it. The first that
// stood clear read the clock to thousands of ppm and steered the walk there,
// and by the first tone that reads it well, blocks kept clear of the whole
// +-2000 ppm range held too few samples to read: "the tones do not agree on
// one clock". The stretches' ratio now starts the walk, and only a tone that
// knows the ratio better than the range it is sought in steers it first.
// The clock then comes from the tones' frequencies, to a tenth of a ppm,
// which turns the high tones by up to a degree: held to their intervals.
// 20 dB quieter, the first walk reads the ratio only from short late blocks
// with wide margins, to a hundred ppm: placed with it, the tones' phases put
// the start 20 to 130 samples off with a sigma of a thousandth, and blocks
// that far off read the clock up to 23 ppm off against an interval of 5.
// The stretches' start is kept there, and the tones measured again from the
// start their phases give once the walk has read the ratio.
TEST(SweepTargets, AHighPassAtAMicrophonesLevelIsMeasuredAboveItsStopBand) {
    const struct {
        Device device;
        double ppm;
        std::size_t compared;
    } cases[] = {
        {{"high-pass 3 kHz, -20 dB, noise -70 dBFS", {highPass(3000)}, 0.1, 10.4}, 0.0, 100},
        {{"high-pass 3 kHz, -20 dB, noise -70 dBFS", {highPass(3000)}, 0.1, 10.4}, 200.0, 100},
        {{"high-pass 3 kHz, -40 dB, noise -70 dBFS", {highPass(3000)}, 0.01, 7.3}, 200.0, 20},
        {{"high-pass 3 kHz, -40 dB, noise -70 dBFS", {highPass(3000)}, 0.01, 7.3}, -200.0, 20},
    };
    std::uint64_t seed = 81;
    for (const auto& c : cases) {
        if (kUnderSanitizer && seed > 81) break;
        const Figures f = measure(c.device, c.ppm, 1234.375, seed++);
        printRow(c.device.name, c.ppm, f);
        expectHonest(f, c.device.name);
        EXPECT_GT(f.compared, c.compared) << c.device.name << " " << c.ppm;
        EXPECT_GT(f.belowNoise, 5u) << c.device.name << " " << c.ppm;
    }
}

// The tones that place the start are steady ones clear of the noise: none
// flagged (below the noise, unsteady, ...) and none that a jump left unplaced.
// A 40 Hz low-pass buries the top of the sweep and leaves a band of unsteady
// tones: plenty of steady ones remain to place it.
TEST(SweepTargets, OnlySteadyTonesClearOfTheNoisePlaceTheStart) {
    const Device device{"low-pass 40 Hz", {lowPass(40)}};
    const std::vector<analysis::Sample> samples = recording(device, 321.25, 0.0, 31);
    const analysis::RecordingAnalysis result = analysis::analyzeRecording(plan(), {samples, nullptr});
    ASSERT_TRUE(result.located);
    std::size_t placing = 0, belowNoise = 0;
    for (const analysis::ToneMeasurement& t : result.sweep.tones) {
        const bool flagged = t.steadiness && t.steadiness->flag != analysis::ToneFlag::None;
        belowNoise += t.steadiness && t.steadiness->flag == analysis::ToneFlag::BelowNoise ? 1 : 0;
        if (!t.placesStart) continue;
        ++placing;
        EXPECT_FALSE(flagged) << t.frequency;
        EXPECT_TRUE(t.placed) << t.frequency;
    }
    EXPECT_GT(placing, 50u);
    EXPECT_GT(belowNoise, 0u);
}

}  // namespace
}  // namespace auralyn::test::targets
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
