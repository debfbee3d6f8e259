#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "sweep/parameter_file.h"
#include "sweep/sweep_plan.h"
#include "sweep_test_plans.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::Bytes;
using test::TempDir;

// Every field distinct, so that a field at the wrong offset shows.
sweep::SweepParameters distinctRecord() {
    sweep::SweepParameters p = test::linearSweep(100.5, 20000.25, 10.125);
    p.locked = true;
    p.minToneDuration = 0.03;
    p.syncPulseDuration = 0.0003;
    p.settlingTime = 0.05;
    p.maxTimeDrift = 0.0004;
    p.leadInTime = 0.75;
    p.sampleRate = 44100;
    p.maxExtraSamples = 1234;
    p.maxFractionalCycle = 0.125;
    p.toneFrequency = 777.0;
    p.tonesPerSyncPulse = 7;
    p.toneIndex = 99;
    p.toneLength = -5;
    p.syncPulseLevel = 80;
    p.syncThreshold = 12.5;
    p.minCyclesPerTone = 42;
    return p;
}

Bytes handBuiltFile(std::uint8_t padding) {
    Bytes b;
    test::appendText(b, "SWEEPPARAMS");
    b.push_back(1);                                         // 11 locked
    for (int i = 0; i < 7; ++i) b.push_back(padding);       // 12
    test::appendF64(b, 100.5);                              // 19 start
    test::appendF64(b, 20000.25);                           // 27 end
    test::appendF64(b, 10.125);                             // 35 step
    test::appendF64(b, 0.03);                               // 43 min tone
    test::appendF64(b, 0.0003);                             // 51 pulse
    test::appendF64(b, 0.05);                               // 59 settling
    test::appendF64(b, 0.0004);                             // 67 drift
    test::appendF64(b, 0.75);                               // 75 lead-in
    test::appendU32(b, 44100);                              // 83 rate
    test::appendU32(b, 1234);                               // 87 extra
    test::appendF64(b, 0.125);                              // 91 fractional
    test::appendF64(b, 777.0);                              // 99 tone frequency
    test::appendU32(b, 7);                                  // 107 tones per pulse
    test::appendU32(b, 99);                                 // 111 tone index
    test::appendU32(b, 0xFFFFFFFBu);                        // 115 tone length -5
    test::appendU32(b, 0);                                  // 119 octave
    test::appendF64(b, 80);                                 // 123 level
    test::appendF64(b, 12.5);                               // 131 threshold
    test::appendU32(b, 42);                                 // 139 min cycles
    for (int i = 0; i < 4; ++i) b.push_back(padding);       // 143
    return b;
}

Bytes writtenBy(const sweep::SweepPlan& plan, const TempDir& dir) {
    const std::string path = dir.file("written.swp");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    EXPECT_TRUE(plan.writeParameters(out));
    std::fclose(out);
    return test::readFileBytes(path);
}

// Reads `bytes` as a parameter file into `plan`.
bool readInto(sweep::SweepPlan& plan, const Bytes& bytes, const TempDir& dir) {
    const std::string path = dir.file("read.swp");
    test::writeFileBytes(path, bytes);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    EXPECT_NE(in, nullptr);
    const bool ok = plan.readParameters(in);
    std::fclose(in);
    return ok;
}

bool sameRecord(const sweep::SweepParameters& a, const sweep::SweepParameters& b) {
    return sweep::encodeParameters(a) == sweep::encodeParameters(b);
}

TEST(ParameterFileWrite, FieldsAtTheirOffsetsPaddingZero) {
    TempDir dir;
    const Bytes written = writtenBy(sweep::SweepPlan(distinctRecord()), dir);
    ASSERT_EQ(written.size(), 147u);
    EXPECT_EQ(written, handBuiltFile(0));
    EXPECT_EQ(test::loadF64(written, 19), 100.5);
    EXPECT_EQ(test::loadU32(written, 83), 44100u);
    EXPECT_EQ(test::loadU32(written, 139), 42u);
}

TEST(ParameterFileWrite, ReportsShortWrite) {
    TempDir dir;
    const std::string path = dir.file("readonly.swp");
    test::writeFileBytes(path, {});
    std::FILE* out = std::fopen(path.c_str(), "rb");
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(sweep::SweepPlan(distinctRecord()).writeParameters(out));
    std::fclose(out);
}

TEST(ParameterFileDecode, ReadsEveryFieldFromItsOffset) {
    const Bytes file = handBuiltFile(0xA5);
    const std::optional<sweep::SweepParameters> decoded = sweep::decodeParameters(file);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(sameRecord(*decoded, distinctRecord()));
}

TEST(ParameterFileRead, RoundTripDerivesRunTimeStateAnew) {
    TempDir dir;
    sweep::SweepParameters saved = test::dialogueDefaults();
    saved.locked = true;
    saved.toneIndex = 17;
    saved.toneFrequency = 5000;
    saved.toneLength = 3;
    sweep::SweepPlan loaded;
    ASSERT_TRUE(readInto(loaded, writtenBy(sweep::SweepPlan(saved), dir), dir));
    const sweep::SweepParameters& p = loaded.params();
    EXPECT_TRUE(p.locked);
    EXPECT_EQ(p.toneIndex, 0u);
    EXPECT_EQ(p.toneFrequency, 20.0);
    EXPECT_EQ(p.toneLength, 24000);
    saved.toneIndex = 0;
    saved.toneFrequency = 20;
    saved.toneLength = 24000;
    EXPECT_TRUE(sameRecord(p, saved));
}

TEST(ParameterFileRead, LockedByteZeroLoadsUnlocked) {
    TempDir dir;
    sweep::SweepPlan plan;
    ASSERT_TRUE(readInto(plan, writtenBy(sweep::SweepPlan(test::dialogueDefaults()), dir), dir));
    EXPECT_FALSE(plan.params().locked);
}

TEST(ParameterFileRead, IgnoresPaddingAndTrailingBytes) {
    TempDir dir;
    Bytes file = writtenBy(sweep::SweepPlan(test::dialogueDefaults()), dir);
    for (std::size_t i = 12; i < 19; ++i) file[i] = 0xFF;
    for (std::size_t i = 143; i < 147; ++i) file[i] = 0x5A;
    file.insert(file.end(), {'j', 'u', 'n', 'k'});
    sweep::SweepPlan plan;
    ASSERT_TRUE(readInto(plan, file, dir));
    EXPECT_EQ(plan.params().frequencyStep, 24.0);
}

TEST(ParameterFileRead, RefusesShortOrForeignFiles) {
    TempDir dir;
    const Bytes good = writtenBy(sweep::SweepPlan(test::dialogueDefaults()), dir);
    const Bytes empty;
    const Bytes magicOnly(good.begin(), good.begin() + 11);
    const Bytes tenBytes(good.begin(), good.begin() + 10);
    const Bytes shortRecord(good.begin(), good.end() - 1);
    for (const Bytes* file : {&empty, &tenBytes, &magicOnly, &shortRecord}) {
        sweep::SweepPlan plan;
        EXPECT_FALSE(readInto(plan, *file, dir)) << file->size();
    }
    for (std::size_t i = 0; i < 11; ++i) {
        Bytes foreign = good;
        foreign[i] ^= 0x20;
        sweep::SweepPlan plan;
        EXPECT_FALSE(readInto(plan, foreign, dir)) << i;
    }
    Bytes oddLock = good;
    oddLock[11] = 2;
    sweep::SweepPlan plan;
    EXPECT_FALSE(readInto(plan, oddLock, dir));
}

TEST(ParameterFileRead, FailureLeavesPlanAsItWas) {
    TempDir dir;
    sweep::SweepParameters held = test::linearSweep(100, 200, 1);
    sweep::SweepPlan plan(held);
    plan.rewind();
    const sweep::SweepParameters before = plan.params();

    sweep::SweepParameters lockedFile = test::dialogueDefaults();
    lockedFile.locked = true;
    Bytes truncated = writtenBy(sweep::SweepPlan(lockedFile), dir);
    truncated.resize(100);
    EXPECT_FALSE(readInto(plan, truncated, dir));
    EXPECT_TRUE(sameRecord(plan.params(), before));

    sweep::SweepParameters invalid = lockedFile;
    invalid.frequencyStep = 0;
    EXPECT_FALSE(readInto(plan, writtenBy(sweep::SweepPlan(invalid), dir), dir));
    EXPECT_TRUE(sameRecord(plan.params(), before));

    // The retry with a good file still works.
    EXPECT_TRUE(readInto(plan, writtenBy(sweep::SweepPlan(lockedFile), dir), dir));
    EXPECT_TRUE(plan.params().locked);
}

TEST(ParameterFileRead, LockedPlanRefusesAndReadsNothing) {
    TempDir dir;
    const std::string path = dir.file("good.swp");
    test::writeFileBytes(path, writtenBy(sweep::SweepPlan(test::dialogueDefaults()), dir));
    sweep::SweepPlan plan;
    plan.lock();
    const sweep::SweepParameters before = plan.params();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    EXPECT_FALSE(plan.readParameters(in));
    EXPECT_EQ(std::ftell(in), 0);
    std::fclose(in);
    EXPECT_TRUE(sameRecord(plan.params(), before));
}

// Random records within the dialogue's ranges, kept short enough to fit.
sweep::SweepParameters randomDialogueRecord(std::mt19937_64& rng) {
    auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto integer = [&rng](std::uint32_t lo, std::uint32_t hi) {
        return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng);
    };
    sweep::SweepParameters p = test::dialogueDefaults();
    p.locked = integer(0, 1) == 1;
    p.sampleRate = integer(8000, 96000);
    p.octaveSweep = static_cast<std::int32_t>(integer(0, 1));
    const double nyquist = p.sampleRate * 0.5;
    p.startFrequency = uniform(20, nyquist);
    p.endFrequency = uniform(p.startFrequency, nyquist);
    p.frequencyStep = p.octaveSweep ? uniform(0.1, 50) : uniform(10, 1e10);
    p.minToneDuration = uniform(0, 0.1);
    p.settlingTime = uniform(0, 1);
    p.maxTimeDrift = uniform(0, 1);
    p.maxExtraSamples = integer(0, 3000);
    p.maxFractionalCycle = uniform(0, 1);
    p.minCyclesPerTone = integer(0, 200);
    p.syncPulseLevel = uniform(10, 100);
    p.tonesPerSyncPulse = integer(0, 0xFFFFFFFFu);
    return p;
}

TEST(ParameterFileRoundTrip, RandomDialogueRecordsComeBackIntact) {
    TempDir dir;
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 60; ++i) {
        const sweep::SweepParameters original = randomDialogueRecord(rng);
        const std::optional<sweep::SweepParameters> decoded = sweep::decodeParameters(sweep::encodeParameters(original));
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(sameRecord(*decoded, original));

        sweep::SweepPlan loaded;
        ASSERT_TRUE(readInto(loaded, writtenBy(sweep::SweepPlan(original), dir), dir)) << i;
        sweep::SweepPlan expected(original);
        expected.rewind();
        EXPECT_TRUE(sameRecord(loaded.params(), expected.params())) << i;
    }
}

}  // namespace
}  // namespace auralyn
