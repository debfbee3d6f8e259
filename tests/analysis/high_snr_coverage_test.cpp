// At a very high SNR (noise of under a step, as a good interface at -90
// dBFS gives) the intervals rest on the noise the residual shows, which
// dithers the rounding, not on the rounding's worst case: they hold the
// truth as often as they claim, not always. A noise-free recording keeps
// the worst case (the rounding may then line up with the tone).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "clock_test_recordings.h"
#include "fault_recordings.h"
#include "sweep_recording.h"

namespace auralyn {
namespace {

struct Held {
    std::size_t measured = 0, magnitude = 0, phase = 0;
};

// Whether a tone lies a whole number of octaves above 20 Hz: at 48 kHz its
// played samples repeat after 2400 / 2^k samples (75 for 1280 Hz and up).
bool repeats(double frequency) {
    const double octaves = std::log2(frequency / 20.0);
    return std::fabs(octaves - std::round(octaves)) < 1e-9;
}

// The synthesised sweep reads `gain` and phase 0 at every tone's block start.
void count(const analysis::RecordingAnalysis& a, double gain, Held& held, bool onlyRepeating = false) {
    const double truthDb = 20.0 * std::log10(gain);
    for (const analysis::ToneMeasurement& t : a.sweep.tones) {
        if (!t.quality || !t.quality->levelDbfs || t.steadiness->flag != analysis::ToneFlag::None) continue;
        if (onlyRepeating && !repeats(t.frequency)) continue;
        ++held.measured;
        held.magnitude += std::fabs(*t.quality->levelDbfs - truthDb) <= t.quality->magnitudeU95Db ? 1 : 0;
        const double phaseDeg = std::remainder(t.phase * 180.0 / 3.14159265358979323846, 360.0);
        held.phase += std::fabs(phaseDeg) <= t.quality->phaseU95Deg ? 1 : 0;
    }
}

TEST(HighSnrCoverage, NoiseBelowAStepGivesIntervalsThatHoldAsClaimed) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    const double gain = std::pow(10.0, -1.0 / 20.0);
    std::mt19937 random(53);
    Held held;
    // -90 dBFS: 0.73 of a step against a full-scale sine.
    for (int trial = 0; trial < 10; ++trial) count(test::analyzed(plan, test::noisySweep(plan, gain, 0.73, random)), gain, held);
    const double n = static_cast<double>(held.measured);
    std::printf("noise at -90 dBFS: %zu tones, magnitude %.1f %%, phase %.1f %%\n", held.measured,
                100.0 * held.magnitude / n, 100.0 * held.phase / n);
    EXPECT_GE(static_cast<double>(held.magnitude), 0.90 * n);
    EXPECT_LE(static_cast<double>(held.magnitude), 0.995 * n);
    EXPECT_GE(static_cast<double>(held.phase), 0.90 * n);
    EXPECT_LE(static_cast<double>(held.phase), 0.995 * n);
    // Without noise the rounding's worst case bounds every tone.
    Held perfect;
    count(test::analyzed(plan, test::noisySweep(plan, gain, 0.0, random)), gain, perfect);
    EXPECT_EQ(perfect.magnitude, perfect.measured);
    EXPECT_EQ(perfect.phase, perfect.measured);
}

// The sweep as the generator writes it, rounded to 16 bits, at the same high
// SNR: tones whose period is a few whole samples (1280 Hz repeats every 75)
// carry the same rounding error in every recording, which no residual tells
// from the tone; their intervals must hold it too.
TEST(HighSnrCoverage, TheSweepsOwnRoundingIsInTheIntervals) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    const double gain = std::pow(10.0, -1.0 / 20.0);
    const std::vector<std::int16_t> played = test::padded(test::synthesiseSweep(plan), 0, 4800);
    std::mt19937 random(59);
    std::normal_distribution<double> gauss(0.0, 0.73);
    Held held, repeating;
    for (int trial = 0; trial < 10; ++trial) {
        std::vector<double> signal(played.size());
        for (std::size_t n = 0; n < played.size(); ++n) signal[n] = gain * played[n] + gauss(random);
        const analysis::RecordingAnalysis a = test::analyzed(plan, test::rounded(signal));
        count(a, gain, held);
        count(a, gain, repeating, true);
    }
    const double n = static_cast<double>(held.measured);
    std::printf("16-bit sweep, noise at -90 dBFS: %zu tones, magnitude %.1f %%, phase %.1f %%; "
                "%zu of them repeating, magnitude %zu held, phase %zu\n",
                held.measured, 100.0 * held.magnitude / n, 100.0 * held.phase / n, repeating.measured,
                repeating.magnitude, repeating.phase);
    // Those whose rounding repeats bear the whole effect: the same error in every recording.
    const double r = static_cast<double>(repeating.measured);
    ASSERT_GE(repeating.measured, 50u);
    EXPECT_GE(static_cast<double>(repeating.magnitude), 0.90 * r);
    EXPECT_GE(static_cast<double>(repeating.phase), 0.90 * r);
    EXPECT_GE(static_cast<double>(held.magnitude), 0.90 * n);
    EXPECT_LE(static_cast<double>(held.magnitude), 0.995 * n);
    EXPECT_GE(static_cast<double>(held.phase), 0.90 * n);
    EXPECT_LE(static_cast<double>(held.phase), 0.995 * n);
}

}  // namespace
}  // namespace auralyn
