// The noise at each tone from the silences nearest it (the stretches before
// later sync pulses): the median of three, so one click sets no floor; and
// noise that grows along the recording, seen where the tone is, keeps the
// intervals holding.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "analysis/silence_noise.h"
#include "clock_test_recordings.h"
#include "fault_recordings.h"

namespace auralyn {
namespace {

// Silences of 1000 samples every 10000, white noise of standard deviation
// sd[k] in silence k.
struct Silences {
    std::vector<analysis::Sample> samples;
    std::vector<analysis::Silence> spans;
};

Silences silencesWith(const std::vector<double>& sd, std::mt19937& random) {
    Silences s;
    s.samples.assign(10000 * sd.size(), analysis::Sample{0});
    for (std::size_t k = 0; k < sd.size(); ++k) {
        std::normal_distribution<double> gauss(0.0, sd[k]);
        for (std::size_t n = 0; n < 1000; ++n) s.samples[10000 * k + n] = static_cast<analysis::Sample>(gauss(random));
    }
    for (std::size_t k = 0; k < sd.size(); ++k) {
        analysis::Silence silence;
        silence.span.samples = s.samples.data() + 10000 * k;
        silence.span.count = 1000;
        silence.centre = 10000.0 * static_cast<double>(k) + 500.0;
        s.spans.push_back(silence);
    }
    return s;
}

TEST(SilenceNoise, TheMedianOfTheNearestThreeSilences) {
    std::mt19937 random(5);
    // Quiet, a click-like loud one, quiet, then louder by 20 dB.
    const Silences s = silencesWith({10.0, 3000.0, 10.0, 10.0, 100.0, 100.0, 100.0}, random);
    const double cycles = 1000.0 / 48000.0;
    // Near the loud silence: its two quiet neighbours set the floor.
    const auto nearClick = analysis::nearestSilenceNoise(s.spans, 10500.0, 400, cycles);
    ASSERT_TRUE(nearClick.has_value());
    EXPECT_TRUE(nearClick->fromSilences);
    EXPECT_NEAR(10.0 * std::log10(nearClick->variance / 100.0), 0.0, 6.0);
    // Where the noise grew, its level there.
    const auto late = analysis::nearestSilenceNoise(s.spans, 55000.0, 400, cycles);
    ASSERT_TRUE(late.has_value());
    EXPECT_NEAR(10.0 * std::log10(late->variance / 10000.0), 0.0, 6.0);
    // Fewer than three silences, or none holding a block of the tone: no floor.
    const std::vector<analysis::Silence> two(s.spans.begin(), s.spans.begin() + 2);
    EXPECT_FALSE(analysis::nearestSilenceNoise(two, 500.0, 400, cycles).has_value());
    EXPECT_FALSE(analysis::nearestSilenceNoise(s.spans, 500.0, 4000, 20.0 / 48000.0).has_value());
}

// White noise through two one-pole low-passes at 300 Hz: a rumble.
std::vector<double> rumble(std::size_t count, double sd, std::mt19937& random) {
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double a = std::exp(-2.0 * 3.14159265358979323846 * 300.0 / 48000.0);
    std::vector<double> out(count);
    double first = 0.0, second = 0.0, power = 0.0;
    for (double& x : out) {
        first = a * first + (1.0 - a) * gauss(random);
        second = a * second + (1.0 - a) * first;
        x = second;
        power += x * x;
    }
    const double scale = sd / std::sqrt(power / static_cast<double>(count));
    for (double& x : out) x *= scale;
    return out;
}

// A rumble that rises by 20 dB after the first third of the tones, with a
// sync pulse every 10 tones, over 6 recordings: the tones after the first
// later pulse take their noise from the silences nearest them, few are
// flagged, and the intervals of the rest hold the truth as often as they claim.
TEST(SilenceNoise, NoiseGrowingAlongTheRecordingKeepsTheIntervalsHolding) {
    const sweep::SweepPlan plan = test::defaultSweep(10, 6.0);
    const double truthDb = 20.0 * std::log10(0.5);
    std::mt19937 random(47);
    std::size_t measured = 0, magnitudeInside = 0, phaseInside = 0, fromSilences = 0, tones = 0;
    for (int trial = 0; trial < 6; ++trial) {
        std::vector<std::int16_t> recording = test::noisySweep(plan, 0.5, 2.0, random);
        const std::int64_t rise = test::blockStartOf(plan, recording, 20);
        const std::vector<double> noise = rumble(recording.size(), 30.0, random);
        for (std::size_t n = 0; n < recording.size(); ++n) {
            const double x = recording[n] + noise[n] * (static_cast<std::int64_t>(n) >= rise ? 10.0 : 1.0);
            recording[n] = static_cast<std::int16_t>(std::lround(x));
        }
        const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
        for (const analysis::ToneMeasurement& t : a.sweep.tones) {
            ++tones;
            if (!t.quality || !t.quality->levelDbfs || t.steadiness->flag != analysis::ToneFlag::None) continue;
            ++measured;
            fromSilences += t.quality->noiseSource == analysis::NoiseSource::Silence ? 1 : 0;
            magnitudeInside += std::fabs(*t.quality->levelDbfs - truthDb) <= t.quality->magnitudeU95Db ? 1 : 0;
            const double phaseDeg = std::remainder(t.phase * 180.0 / 3.14159265358979323846, 360.0);
            phaseInside += std::fabs(phaseDeg) <= t.quality->phaseU95Deg ? 1 : 0;
        }
    }
    const double n = static_cast<double>(measured);
    std::printf("rising rumble: %zu of %zu tones measured steady, %zu with the silences' noise; magnitude %.1f %%, phase %.1f %%\n",
                measured, tones, fromSilences, 100.0 * magnitudeInside / n, 100.0 * phaseInside / n);
    EXPECT_GE(n, 0.8 * static_cast<double>(tones));
    EXPECT_GT(fromSilences, measured / 4);
    for (const std::size_t inside : {magnitudeInside, phaseInside}) {
        EXPECT_GE(static_cast<double>(inside), 0.90 * n);
        EXPECT_LE(static_cast<double>(inside), 0.995 * n);
    }
}

}  // namespace
}  // namespace auralyn
