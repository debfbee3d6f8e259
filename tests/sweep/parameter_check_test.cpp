#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "sweep/parameter_file.h"

#include "sweep/parameter_check.h"
#include "sweep/sweep_layout.h"
#include "sweep_test_plans.h"

namespace auralyn {
namespace {

using test::dialogueDefaults;
using test::linearSweep;

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(RecordCheck, DialogueDefaultsLoad) {
    EXPECT_EQ(sweep::findRecordFault(dialogueDefaults()), sweep::RecordFault::none);
}

// A record at `rate` that waits on each tone the longest the dialogue allows.
sweep::SweepParameters waitingLongest(sweep::SweepParameters p, std::uint32_t rate) {
    p.sampleRate = rate;
    p.settlingTime = 1;
    p.maxTimeDrift = 1;
    return p;
}

TEST(RecordCheck, DialogueExtremesLoad) {
    // One tone at the highest start: a 1e10 Hz step leaves the range at once.
    sweep::SweepParameters single = waitingLongest(linearSweep(48000, 48000, 1e10), 96000);
    single.minToneDuration = 1000;
    single.tonesPerSyncPulse = 4294967295u;
    EXPECT_EQ(sweep::findRecordFault(single), sweep::RecordFault::none);

    sweep::SweepParameters fine = waitingLongest(linearSweep(1000, 1100, 0.01), 8000);
    fine.maxFractionalCycle = 0;
    fine.maxExtraSamples = 3000;
    EXPECT_EQ(sweep::findRecordFault(fine), sweep::RecordFault::none);

    sweep::SweepParameters sparse = waitingLongest(dialogueDefaults(), 96000);
    sparse.startFrequency = 0.1;
    sparse.endFrequency = 48000;
    sparse.frequencyStep = 0.1;  // tones at 0.1 Hz and 102.4 Hz
    EXPECT_EQ(sweep::findRecordFault(sparse), sweep::RecordFault::none);

    sweep::SweepParameters dense = dialogueDefaults();
    dense.sampleRate = 96000;
    dense.frequencyStep = 5000;
    dense.maxFractionalCycle = 0;
    dense.maxExtraSamples = 3000;
    dense.syncPulseLevel = 10;
    dense.locked = true;
    EXPECT_EQ(sweep::findRecordFault(dense), sweep::RecordFault::none);
}

TEST(RecordCheck, RefusesNonFiniteValues) {
    double sweep::SweepParameters::*fields[] = {
        &sweep::SweepParameters::startFrequency,   &sweep::SweepParameters::endFrequency,
        &sweep::SweepParameters::frequencyStep,    &sweep::SweepParameters::minToneDuration,
        &sweep::SweepParameters::syncPulseDuration, &sweep::SweepParameters::settlingTime,
        &sweep::SweepParameters::maxTimeDrift,     &sweep::SweepParameters::leadInTime,
        &sweep::SweepParameters::maxFractionalCycle, &sweep::SweepParameters::toneFrequency,
        &sweep::SweepParameters::syncPulseLevel,   &sweep::SweepParameters::syncThreshold};
    for (auto field : fields) {
        for (double bad : {std::nan(""), kInf, -kInf}) {
            sweep::SweepParameters p = dialogueDefaults();
            p.*field = bad;
            EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::notFinite);
        }
    }
}

TEST(RecordCheck, RefusesDegenerateFrequencies) {
    sweep::SweepParameters p = dialogueDefaults();
    p.sampleRate = 0;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleRate);

    for (double start : {0.0, -20.0}) {
        p = dialogueDefaults();
        p.startFrequency = start;
        EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::startFrequency);
    }
    for (double step : {0.0, -24.0}) {
        p = dialogueDefaults();
        p.frequencyStep = step;
        EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::frequencyStep);
    }
    p = dialogueDefaults();
    p.endFrequency = 19.99;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::endFrequency);
    p.endFrequency = 24000.001;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::endFrequency);
    p.endFrequency = 24000;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::none);
}

TEST(RecordCheck, RefusesNegativeDurationsAndLevelsOutOfRange) {
    double sweep::SweepParameters::*durations[] = {
        &sweep::SweepParameters::minToneDuration, &sweep::SweepParameters::syncPulseDuration,
        &sweep::SweepParameters::settlingTime,    &sweep::SweepParameters::maxTimeDrift,
        &sweep::SweepParameters::leadInTime,      &sweep::SweepParameters::maxFractionalCycle};
    for (auto field : durations) {
        sweep::SweepParameters p = dialogueDefaults();
        p.*field = -0.001;
        EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::negativeValue);
    }
    for (double level : {-1.0, 100.5}) {
        sweep::SweepParameters p = dialogueDefaults();
        p.syncPulseLevel = level;
        EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::syncLevel);
        p = dialogueDefaults();
        p.syncThreshold = level;
        EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::syncLevel);
    }
}

TEST(RecordCheck, RefusesCountsBeyond32Bits) {
    sweep::SweepParameters p = dialogueDefaults();
    p.leadInTime = 1e6;  // 4.8e10 samples
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleCountRange);

    p = dialogueDefaults();
    p.sampleRate = 800000000;  // three seconds of opening silence overflow
    p.endFrequency = 20000;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleCountRange);

    p = dialogueDefaults();
    p.startFrequency = 1e-300;  // ten cycles last forever
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleCountRange);

    p = linearSweep(23999.9999999, 23999.9999999, 10);  // ten cycles of b ~ 1e-7 Hz
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleCountRange);

    p = dialogueDefaults();
    p.maxExtraSamples = 0xFFFFFFFFu;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sampleCountRange);
}

TEST(RecordCheck, RefusesTooManyTones) {
    EXPECT_EQ(sweep::findRecordFault(linearSweep(20, 20000, 1e-9)), sweep::RecordFault::tooManyTones);
    sweep::SweepParameters octave = dialogueDefaults();
    octave.frequencyStep = 1e12;
    EXPECT_EQ(sweep::findRecordFault(octave), sweep::RecordFault::tooManyTones);
    // The count formula says one tone, but the walk never moves, and each
    // tone at exactly half the rate is empty, so the length never grows.
    sweep::SweepParameters stuck = linearSweep(24000, 24000, 1e-300);
    EXPECT_EQ(sweep::findRecordFault(stuck), sweep::RecordFault::sweepTooLong);
    stuck.minToneDuration = 0;
    stuck.settlingTime = 0;
    stuck.maxTimeDrift = 0;
    EXPECT_EQ(sweep::findRecordFault(stuck), sweep::RecordFault::tooManyTones);
}

TEST(RecordCheck, RefusesSweepsThatCannotFitAWaveFile) {
    sweep::SweepParameters p = dialogueDefaults();
    p.sampleRate = 96000;
    p.minToneDuration = 1000;  // 9.6e7 samples per tone, 240 tones
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::sweepTooLong);
}

// Tones near 1 Hz: 480000-sample blocks whose tails are nearly a whole cycle,
// which the cheap bounds leave open. 528000 samples per tone in all.
sweep::SweepParameters slowTones(int count) {
    sweep::SweepParameters p = linearSweep(1, 1 + (count - 0.5) * 1e-9, 1e-9);
    // Nothing but the tones and the drift margin takes time.
    p.minToneDuration = p.settlingTime = p.leadInTime = p.syncPulseDuration = 0;
    p.maxTimeDrift = 0.5;
    return p;
}

TEST(RecordCheck, ExactWalkDecidesWhenBoundsCannot) {
    const sweep::SweepParameters fits = slowTones(4000);  // 2.112e9 samples
    EXPECT_EQ(sweep::findRecordFault(fits), sweep::RecordFault::none);
    EXPECT_LE(sweep::sweepSampleCount(sweep::SweepPlan(fits)), sweep::kMaxWaveSamples16);

    const sweep::SweepParameters tooLong = slowTones(4150);  // 2.19e9 samples
    EXPECT_EQ(sweep::findRecordFault(tooLong), sweep::RecordFault::sweepTooLong);
}

TEST(RecordCheck, RefusesSearchesTooLongToWalk) {
    sweep::SweepParameters p = linearSweep(12000, 12000, 10);
    p.maxFractionalCycle = 0;
    p.maxExtraSamples = 2147000000;  // 5e8 search steps for one tone
    p.leadInTime = 10;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::searchTooLong);
}

TEST(RecordCheck, RefusesAHugeSearchBoundEvenWhenTheSweepIsShort) {
    // Three tones, but up to 1.4e8 search steps each: found by fuzzing, where
    // loading it took longer than any file should.
    sweep::SweepParameters p = linearSweep(10, 20000, 9728.289062500007);
    p.sampleRate = 47872;
    p.maxFractionalCycle = 5.06234e-319;
    p.maxExtraSamples = 704643472;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::searchTooLong);
}

TEST(RecordCheck, LoadsLongSearchesThatStopEarly) {
    // 200000 tones whose search bound (about 1e8 steps) exceeds the budget,
    // but which meet a fractional cycle of 0.01 after a few candidates.
    sweep::SweepParameters p = linearSweep(20, 20000, 0.1);
    p.maxFractionalCycle = 0.01;
    p.maxExtraSamples = 3000;
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::none);
    p.maxFractionalCycle = 0;  // never met: every search runs to its bound
    EXPECT_EQ(sweep::findRecordFault(p), sweep::RecordFault::searchTooLong);
}

TEST(RecordCheck, EveryFaultHasADescription) {
    for (int f = 0; f <= static_cast<int>(sweep::RecordFault::sweepTooLong); ++f) {
        EXPECT_STRNE(sweep::describeRecordFault(static_cast<sweep::RecordFault>(f)), "unknown fault");
    }
}

}  // namespace
}  // namespace auralyn

namespace auralyn {
namespace {

// Damaged files: every record decoded from random or corrupted bytes is judged
// without a crash or undefined behaviour (the sanitizer build runs this), and
// whatever is accepted walks within the WAV limit (walked only where the
// length searches are short, to keep the test fast).
TEST(RecordCheck, SurvivesDamagedRecords) {
    std::mt19937_64 rng(147);
    const sweep::ParameterRecordBytes good = sweep::encodeParameterRecord(test::dialogueDefaults());
    for (int i = 0; i < 400; ++i) {
        sweep::ParameterRecordBytes bytes = good;
        const int damage = 1 + static_cast<int>(rng() % 6);
        for (int d = 0; d < damage; ++d) bytes[rng() % bytes.size()] = static_cast<std::uint8_t>(rng());
        if (i % 4 == 0) {
            for (auto& byte : bytes) byte = static_cast<std::uint8_t>(rng());
        }
        const std::optional<sweep::SweepParameters> record = sweep::decodeParameterRecord(bytes);
        if (!record || !sweep::isLoadableRecord(*record)) continue;
        if (record->maxFractionalCycle < 0.5 && record->maxExtraSamples > 10000) continue;
        sweep::SweepPlan plan(*record);
        plan.rewind();
        EXPECT_GE(plan.params().toneLength, 0);
        EXPECT_LE(sweep::sweepSampleCount(plan), sweep::kMaxWaveSamples16);
    }
}

}  // namespace
}  // namespace auralyn
