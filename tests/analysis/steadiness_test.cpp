// Each tone's steadiness check: worked values of its parts, clean noisy
// recordings that must raise no flag, and recordings with a dropout, a burst,
// clicks before the sweep and a reverberant room, made here by direct synthesis.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "analysis/quiet_lead_in.h"
#include "analysis/tone_steadiness.h"
#include "clock_test_recordings.h"
#include "fault_recordings.h"

namespace auralyn {
namespace {

using analysis::ToneFlag;

constexpr double kPi = 3.14159265358979323846;
constexpr double kGain = 0.5;
const double kTruthDb = 20.0 * std::log10(kGain);

TEST(SteadinessParts, RepeatedRunsAndWhatRoundingMakesOfACrest) {
    const std::vector<analysis::Sample> samples{1, 1, 1, 2, 2, 0, 0, 0, 0, 5};
    EXPECT_EQ(analysis::longestRepeatedRun(samples.data(), samples.size()), 4u);
    EXPECT_EQ(analysis::longestRepeatedRun(samples.data(), 0), 0u);
    // A full-scale 20 Hz sine at 48 kHz stays within half a step of its crest for 5 samples.
    EXPECT_NEAR(analysis::naturalRepeatedRun(32767.0, 20.0 / 48000.0), 5.2, 0.1);
    // Smaller sines stay longer: 1 / sqrt(A) scaling of the crest's width.
    EXPECT_NEAR(analysis::naturalRepeatedRun(100.0, 20.0 / 48000.0) - 1.0,
                (analysis::naturalRepeatedRun(32767.0, 20.0 / 48000.0) - 1.0) * std::sqrt(327.67), 0.5);
    EXPECT_EQ(analysis::flagName(ToneFlag::None), "");
    EXPECT_EQ(analysis::flagName(ToneFlag::BelowNoise), "below_noise");
    EXPECT_TRUE(analysis::breaksSteadiness(ToneFlag::Gap));
    EXPECT_FALSE(analysis::breaksSteadiness(ToneFlag::Clipped));
}

TEST(SteadinessParts, QuietStretchesLeaveClicksOut) {
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, 3.0);
    std::vector<analysis::Sample> leadIn(48000);
    for (auto& x : leadIn) x = static_cast<analysis::Sample>(std::lround(gauss(random)));
    for (std::size_t at = 1000; at < leadIn.size(); at += 4800) leadIn[at] = 20000;
    const std::vector<analysis::Sample> quiet = analysis::quietStretches(leadIn.data(), leadIn.size(), 480);
    EXPECT_EQ(quiet.size(), leadIn.size() - 10 * 480);
    const double variance = analysis::medianStretchVariance(quiet.data(), quiet.size(), 480);
    EXPECT_NEAR(variance, 9.0 + 1.0 / 12.0, 1.0);
    // A digitally silent lead-in keeps every stretch.
    const std::vector<analysis::Sample> silent(4800, 0.0f);
    EXPECT_EQ(analysis::quietStretches(silent.data(), silent.size(), 480).size(), silent.size());
}

// The samples as one tone's block, fitted whole.
analysis::ToneBlock wholeBlock(const std::vector<analysis::Sample>& s, double cycles) {
    analysis::ToneBlock b;
    b.samples = s.data();
    b.count = s.size();
    b.cyclesPerSample = cycles;
    b.fit = analysis::fitHarmonics(s.data(), s.size(), 0.0, cycles);
    return b;
}

// A steady block, then the same with its second half's gain stepped by 1 %.
TEST(SteadinessParts, HalvesSeeAGainStepThatTheWholeFitHides) {
    const double cycles = 1000.5 / 48000.0;
    std::mt19937 random(3);
    std::normal_distribution<double> gauss(0.0, 3.0);
    std::vector<analysis::Sample> steady(4800), stepped(4800);
    for (std::size_t n = 0; n < steady.size(); ++n) {
        const double tone = 16000.0 * std::sin(2.0 * kPi * cycles * static_cast<double>(n));
        const double noise = gauss(random);
        steady[n] = static_cast<analysis::Sample>(std::lround(tone + noise));
        stepped[n] = static_cast<analysis::Sample>(std::lround((n < 2400 ? 1.0 : 1.01) * tone + noise));
    }
    auto block = [&](const std::vector<analysis::Sample>& s) { return wholeBlock(s, cycles); };
    const analysis::SteadinessCheck calm = analysis::checkBlock(block(steady));
    EXPECT_TRUE(calm.steady);
    EXPECT_LT(calm.halvesStatistic, analysis::kHalvesLimit);
    const analysis::SteadinessCheck step = analysis::checkBlock(block(stepped));
    EXPECT_FALSE(step.steady);
    EXPECT_NEAR(step.magnitudeSpreadDb, 20.0 * std::log10(1.01), 0.01);
}

// A quiet tone (100 units, -50 dBFS) recorded at 24 bits with noise far
// below a 16-bit step: its second half 0.03 % louder (0.0026 dB) is many
// times what its halves resolve, though a 16-bit rounding floor would hide it.
TEST(SteadinessParts, HalvesResolveWhatA24BitRecordingResolves) {
    const double cycles = 1000.5 / 48000.0;
    const double step = 1.0 / 256.0;
    std::mt19937 random(13);
    std::normal_distribution<double> gauss(0.0, 0.005);
    std::vector<analysis::Sample> steady(4800), stepped(4800);
    const auto atResolution = [step](double x) { return static_cast<analysis::Sample>(std::nearbyint(x / step) * step); };
    for (std::size_t n = 0; n < steady.size(); ++n) {
        const double tone = 100.0 * std::sin(2.0 * kPi * cycles * static_cast<double>(n));
        const double noise = gauss(random);
        steady[n] = atResolution(tone + noise);
        stepped[n] = atResolution((n < 2400 ? 1.0 : 1.0003) * tone + noise);
    }
    for (const double silence : {0.0, 0.005 * 0.005}) {
        auto block = [&](const std::vector<analysis::Sample>& s) {
            analysis::ToneBlock b = wholeBlock(s, cycles);
            b.leadInVariance = silence;
            b.roundingVariance = step * step / 12.0;
            return b;
        };
        EXPECT_TRUE(analysis::checkBlock(block(steady)).steady) << silence;
        const analysis::SteadinessCheck stepCheck = analysis::checkBlock(block(stepped));
        EXPECT_FALSE(stepCheck.steady) << silence;
        EXPECT_GT(stepCheck.halvesStatistic, 10.0 * analysis::kHalvesLimit) << silence;
        // At 16 bits the same halves lie within their rounding: no flag is due there.
        analysis::ToneBlock sixteen = block(stepped);
        sixteen.roundingVariance = analysis::kQuantizationVariance;
        EXPECT_TRUE(analysis::checkBlock(sixteen).steady) << silence;
    }
}

// Many noisy recordings of a clean sweep: not one tone may be flagged, and
// no clock may be taken for drifting.
TEST(SteadyRecordings, CleanNoisyRecordingsRaiseNoFlags) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(11);
    std::size_t tones = 0, flagged = 0, drifting = 0, leadInNoise = 0;
    for (int trial = 0; trial < 12; ++trial) {
        const analysis::RecordingAnalysis a = test::analyzed(plan, test::noisySweep(plan, kGain, 3.0 + trial, random));
        ASSERT_TRUE(a.corrected);
        for (const analysis::ToneMeasurement& t : a.sweep.tones) {
            ++tones;
            ASSERT_TRUE(t.steadiness.has_value());
            flagged += t.steadiness->flag != ToneFlag::None ? 1 : 0;
            leadInNoise += t.quality->noiseSource == analysis::NoiseSource::LeadIn ? 1 : 0;
        }
        drifting += a.sweep.clockModel && a.sweep.clockModel->drifting ? 1 : 0;
        EXPECT_TRUE(a.sweep.jumps.empty());
    }
    std::printf("clean recordings: %zu of %zu tones flagged, %zu drifting clocks, %zu noise from the lead-in\n",
                flagged, tones, drifting, leadInNoise);
    EXPECT_EQ(flagged, 0u);
    EXPECT_EQ(drifting, 0u);
}

TEST(FlaggedTones, ADropoutIsAGapWithAnIntervalThatHoldsTheTruth) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(5);
    std::vector<std::int16_t> recording = test::noisySweep(plan, kGain, 3.0, random);
    const std::size_t tone = 8;
    const std::int64_t at = test::blockStartOf(plan, recording, tone) + test::blockLengthOf(plan, tone) / 4;
    std::fill(recording.begin() + at, recording.begin() + at + 2400, std::int16_t{0});
    const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
    const analysis::ToneMeasurement& t = a.sweep.tones.at(tone);
    ASSERT_TRUE(t.steadiness && t.quality && t.quality->levelDbfs);
    EXPECT_EQ(t.steadiness->flag, ToneFlag::Gap);
    EXPECT_FALSE(t.steadiness->steady);
    EXPECT_LT(*t.quality->levelDbfs, kTruthDb - 1.0);  // the whole block reads low...
    EXPECT_LE(std::fabs(*t.quality->levelDbfs - kTruthDb), t.quality->magnitudeU95Db);  // ...and says so
    EXPECT_EQ(test::countUnsteady(a), 1u);
}

TEST(FlaggedTones, ABurstDuringOneToneIsFlaggedThatTone) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(9);
    std::vector<std::int16_t> recording = test::noisySweep(plan, kGain, 3.0, random);
    const std::size_t tone = 12;
    test::addDuringTone(plan, recording, tone, [](std::int32_t n, std::int32_t length) {
        return 400.0 * std::sin(2.0 * kPi * 31.0 * n / 48000.0) * std::sin(kPi * n / length);
    });
    const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
    EXPECT_EQ(a.sweep.tones.at(tone).steadiness->flag, ToneFlag::Burst);
    EXPECT_EQ(test::countUnsteady(a), 1u);
}

// A noiseless chain leaves only its own deterministic leftovers (here a
// ripple of one step during one tone, as a resampler leaves near the band's
// edge): no noise came and went, so no burst is told.
TEST(FlaggedTones, LeftoversBelowAStepAreNoBurst) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(3);
    std::vector<std::int16_t> recording = test::noisySweep(plan, kGain, 0.0, random);
    const std::size_t tone = 12;
    test::addDuringTone(plan, recording, tone, [](std::int32_t n, std::int32_t) { return std::sin(2.0 * kPi * 0.37 * n); });
    const analysis::RecordingAnalysis a = test::analyzed(plan, recording);
    EXPECT_EQ(a.sweep.tones.at(tone).steadiness->flag, ToneFlag::None);
    EXPECT_EQ(test::countUnsteady(a), 0u);
}

// Two seconds of clicks before the sweep: the noise comes from between them,
// so every tone's SNR stays that of the clean recording.
TEST(NoiseFromWhereItIs, ClicksBeforeTheSweepDoNotSetTheFloor) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(13);
    const std::vector<std::int16_t> clean = test::noisySweep(plan, kGain, 3.0, random);
    std::vector<std::int16_t> clicked(96000, 0);
    std::normal_distribution<double> gauss(0.0, 3.0);
    for (auto& x : clicked) x = static_cast<std::int16_t>(std::lround(gauss(random)));
    for (std::size_t at = 0; at < clicked.size(); at += 4800) clicked[at + 17] = 20000;
    clicked.insert(clicked.end(), clean.begin(), clean.end());
    const analysis::RecordingAnalysis a = test::analyzed(plan, clean);
    const analysis::RecordingAnalysis b = test::analyzed(plan, clicked);
    ASSERT_EQ(a.sweep.tones.size(), b.sweep.tones.size());
    for (std::size_t i = 0; i < a.sweep.tones.size(); ++i) {
        EXPECT_NEAR(*b.sweep.tones[i].quality->snrDb, *a.sweep.tones[i].quality->snrDb, 3.0) << i;
        EXPECT_EQ(b.sweep.tones[i].steadiness->flag, ToneFlag::None) << i;
    }
}

struct RoomResult {
    std::size_t tones = 0, steady = 0, steadyOutside = 0;
};

// The sweep through a room: an impulse response of exponentially decaying
// noise (every 32nd tap, 0.3 s, decay time `decay` seconds). Its steady-state
// response is known exactly; a tone reported steady must hold it within its interval.
RoomResult throughRoom(double decay, std::uint32_t seed) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    std::mt19937 random(seed);
    const std::vector<std::int16_t> dry = test::noisySweep(plan, kGain, 0.0, random);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<std::pair<std::size_t, double>> taps{{0, 1.0}};
    for (std::size_t n = 32; n < 14400; n += 32) taps.push_back({n, 0.15 * std::exp(-(n / 48000.0) / decay) * gauss(random)});
    std::vector<double> wet(dry.size(), 0.0);
    for (const auto& [delay, weight] : taps) {
        for (std::size_t k = delay; k < dry.size(); ++k) wet[k] += weight * dry[k - delay];
    }
    for (double& x : wet) x += 3.0 * gauss(random);
    const analysis::RecordingAnalysis a = test::analyzed(plan, test::rounded(wet));
    RoomResult result;
    result.tones = a.sweep.tones.size();
    for (const analysis::ToneMeasurement& t : a.sweep.tones) {
        if (!t.steadiness->steady || !t.quality->levelDbfs) continue;
        ++result.steady;
        std::complex<double> response = 0.0;
        for (const auto& [delay, weight] : taps) response += std::polar(weight, -2.0 * kPi * t.frequency * delay / 48000.0);
        const double truth = kTruthDb + 20.0 * std::log10(std::abs(response));
        if (std::fabs(*t.quality->levelDbfs - truth) > t.quality->magnitudeU95Db) ++result.steadyOutside;
    }
    std::printf("room of decay %g s: %zu of %zu tones steady, %zu of them outside their interval\n", decay,
                result.steady, result.tones, result.steadyOutside);
    return result;
}

// Reverberation that outlasts the settling time (decay 0.08 s against 0.04 s).
TEST(FlaggedTones, AnUnsettledRoomFlagsItsTonesAndNoSteadyToneMissesItsTruth) {
    const RoomResult room = throughRoom(0.08, 17);
    EXPECT_GT(room.tones - room.steady, room.tones / 2);
    EXPECT_EQ(room.steadyOutside, 0u);
}

// Reverberation gone well within the settling time: the tones are steady and right.
TEST(FlaggedTones, ASettledRoomKeepsItsTonesSteady) {
    const RoomResult room = throughRoom(0.003, 19);
    EXPECT_GE(room.steady, room.tones - 1);
    EXPECT_LE(room.steadyOutside, 1u);
}

}  // namespace
}  // namespace auralyn
