// auralyn analyze on recordings whose timing jumped where the tones alone
// must tell which side of the jump each tone lies on: the recording is cut
// here, sample by sample, and the same sweep recorded without the cut is the
// reference every measured phase and the sweep's start are held to.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "run_program.h"
#include "wave_samples.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

constexpr std::uint32_t kRate = 48000;

// The sweep as played, at 80 % of its level with white noise of about
// -70 dBFS (a fixed seed), and a second of silence after it.
std::vector<std::int16_t> noisySweep(const TempDir& dir, const std::vector<std::string>& sweepOptions) {
    std::vector<std::string> args{"sweep", "-q", "-o", "s.wav"};
    args.insert(args.end(), sweepOptions.begin(), sweepOptions.end());
    EXPECT_EQ(test::auralyn(dir, args).exitCode, 0);
    std::vector<std::int16_t> sweep = test::readWaveSamples(dir.file("s.wav"));
    sweep.insert(sweep.end(), kRate, std::int16_t{0});
    std::mt19937 random(77);
    std::normal_distribution<double> noise(0.0, 10.4);
    for (std::int16_t& s : sweep) s = static_cast<std::int16_t>(std::lround(0.8 * s + noise(random)));
    return sweep;
}

// `samples` zeros put in at `at` (a stall), or as many taken out there (a loss).
std::vector<std::int16_t> cut(std::vector<std::int16_t> recording, std::size_t at, int samples) {
    const auto where = recording.begin() + static_cast<std::ptrdiff_t>(at);
    if (samples > 0) recording.insert(where, static_cast<std::size_t>(samples), std::int16_t{0});
    if (samples < 0) recording.erase(where, where - samples);
    return recording;
}

struct Analysis {
    ProgramRun run;
    nlohmann::json json;
};

Analysis analyze(const TempDir& dir, const std::vector<std::int16_t>& recording, const std::string& name) {
    test::writeWave(dir.file(name + ".wav"), recording, kRate);
    Analysis a;
    a.run = test::auralyn(dir, {"analyze", name + ".wav", "s.swp", "--json", name + ".json", "-o", name + ".txt"});
    a.json = nlohmann::json::parse(test::readFileText(dir.file(name + ".json")));
    return a;
}

// A sweep made with `sweepOptions`, recorded as noisySweep records it, and
// its analysis uncut: the reference every cut recording is held to.
struct CleanRecording {
    std::vector<std::int16_t> played;
    Analysis reference;
};

const std::vector<std::string> kThirdOctave{"--start", "100", "--end", "15000", "--step", "3"};
const std::vector<std::string> kPulseEveryFourTones{"--start", "100", "--end", "15000", "--step", "6", "--tones-per-sync", "4"};

CleanRecording recordClean(const TempDir& dir, const std::vector<std::string>& sweepOptions) {
    CleanRecording clean{noisySweep(dir, sweepOptions), {}};
    clean.reference = analyze(dir, clean.played, "clean");
    return clean;
}

// Tones measured in both whose phases differ by more than both intervals.
int phasesOffTheReference(const nlohmann::json& reference, const nlohmann::json& jumped) {
    int off = 0;
    for (std::size_t i = 0; i < jumped["tones"].size() && i < reference["tones"].size(); ++i) {
        const auto& t = jumped["tones"][i];
        const auto& truth = reference["tones"][i];
        if (t["phase_deg"].is_null() || truth["phase_deg"].is_null()) continue;
        const double error = std::remainder(t["phase_deg"].get<double>() - truth["phase_deg"].get<double>(), 360.0);
        const double limit = t["phase_u95_deg"].get<double>() + truth["phase_u95_deg"].get<double>() + 0.05;
        if (std::fabs(error) > limit) ADD_FAILURE() << "tone " << i << ": " << error << " deg off, limit " << limit;
        off += std::fabs(error) > limit;
    }
    return off;
}

// 100 samples lost inside one of the low tones of a third-octave sweep: their
// long blocks hold their tones through the loss, so the tones after it up to
// the first one it moves out of its block stay steady at their old place,
// turned by 100 samples' worth. The sweep's start must stay where the first
// pulse and the tones before the loss put it, and no tone be measured at its
// old place after the loss.
TEST(SteadyProgram, ALossInsideALowToneLeavesTheStartWithTheTonesBeforeIt) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kThirdOctave);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    const double start = reference.json["delay_s"].get<double>();
    // 188000 to 200000 lie inside the tones from 159 Hz to 400 Hz.
    for (const std::size_t at : {188000u, 190552u, 194806u, 199912u}) {
        const Analysis jumped = analyze(dir, cut(played, at, -100), "cut");
        EXPECT_EQ(jumped.run.exitCode, 1) << at << jumped.run.err;
        ASSERT_EQ(jumped.json["jumps"].size(), 1u) << at;
        const auto& jump = jumped.json["jumps"][0];
        EXPECT_NEAR(jump["size_samples"].get<double>(), -100.0, 12.0) << at;
        const unsigned jumpTone = jump["tone"];
        EXPECT_NEAR(jumped.json["delay_s"].get<double>(), start, 0.5 / kRate) << at;
        EXPECT_LE(jumped.json["delay_u95_s"].get<double>(), 0.5 / kRate) << at;
        EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0) << at;
        for (unsigned i = jumpTone; i < jumped.json["tones"].size(); ++i) {
            EXPECT_TRUE(jumped.json["tones"][i]["phase_deg"].is_null()) << at << " tone " << i;
        }
    }
}

// 200 ms lost from a sweep with a pulse every 4 tones: more than half the
// distance between two pulses, so the next pulse turns up within reach of
// where the lost one was due, late by what is left of that distance. No jump
// may be named exact unless it is the loss itself, and no tone measured at a
// place the loss moved.
TEST(SteadyProgram, ALossLongerThanHalfThePulseSpacingIsNoExactJumpOfAnotherSize) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kPulseEveryFourTones);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    for (const std::size_t at : {200000u, 259555u}) {
        const Analysis jumped = analyze(dir, cut(played, at, -9600), "cut");
        ASSERT_FALSE(jumped.json["jumps"].empty()) << at;
        double total = 0.0;
        for (const auto& jump : jumped.json["jumps"]) {
            total += jump["size_samples"].get<double>();
            if (jump["exact"].get<bool>()) {
                EXPECT_EQ(jump["size_samples"].get<double>(), -9600.0) << at << " tone " << jump["tone"];
            }
        }
        EXPECT_NEAR(total, -9600.0, 12.0 + 0.02 * 9600.0) << at;
        EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0) << at;
        // The sweep has pulses after the loss: no advice to make it with some.
        EXPECT_EQ(jumped.run.err.find("without a sync pulse after"), std::string::npos) << at << jumped.run.err;
        EXPECT_EQ(jumped.run.err.find("make the sweep with sync pulses (sweep"), std::string::npos) << at;
    }
}

// 50 ms lost inside the tone right after a pulse (a pulse every 4 tones):
// the pulse lies before the loss, the tone after it holds it, and every later
// block lies in another tone, fitting its frequency as a tiny nothing that
// may be steady. Those are no tones held: the jump is named, and no tone is
// measured at its old place after it.
TEST(SteadyProgram, ALossInTheToneAfterAPulseIsNamedAndNoLaterToneMeasuredAtItsOldPlace) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kPulseEveryFourTones);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    const Analysis jumped = analyze(dir, cut(played, 221692, -2400), "cut");
    ASSERT_FALSE(jumped.json["jumps"].empty()) << jumped.run.err;
    double total = 0.0;
    for (const auto& jump : jumped.json["jumps"]) total += jump["size_samples"].get<double>();
    EXPECT_NEAR(total, -2400.0, 12.0 + 0.02 * 2400.0);
    EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0);
}

// 50 ms of silence put in inside the very first tone (at 10 % of a 22-tone
// sweep): every later tone comes 2400 samples after where the first pulse
// puts it. The jump must be named with its size and sign, and no tone
// measured at a place it moved.
TEST(SteadyProgram, AStallInsideTheFirstToneIsNamedAndNoToneMeasuredAtItsOldPlace) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kThirdOctave);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    const std::size_t leadIn = 168000;
    const std::size_t sweepLength = played.size() - kRate;
    const Analysis jumped = analyze(dir, cut(played, leadIn + (sweepLength - leadIn) / 10, 2400), "cut");
    ASSERT_EQ(jumped.json["jumps"].size(), 1u) << jumped.run.err;
    EXPECT_EQ(jumped.json["jumps"][0]["tone"], 0);
    EXPECT_NEAR(jumped.json["jumps"][0]["size_samples"].get<double>(), 2400.0, 12.0 + 0.02 * 2400.0);
    EXPECT_NE(jumped.run.err.find("auralyn: the recording jumps by 50.0 ms"), std::string::npos) << jumped.run.err;
    EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0);
}

// Every tone from `from` on measured, at the phase the reference reads.
void expectMeasuredFrom(const Analysis& jumped, const Analysis& reference, std::size_t from) {
    ASSERT_EQ(jumped.json["tones"].size(), reference.json["tones"].size());
    for (std::size_t i = from; i < jumped.json["tones"].size(); ++i)
        EXPECT_FALSE(jumped.json["tones"][i]["phase_deg"].is_null()) << "tone " << i;
    EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0);
}

// 50 ms lost, or 50 ms of silence put in, inside the first tone or just
// before its block (the 100 Hz tone lies from about 170400 to 177100): the
// pulse lies before the jump and every other tone after it, so far from where
// the pulse puts them that the tones agreed on no clock. The jump must be
// named with its sign and size (no word of another recording), and the tones
// after it measured on the time base they give themselves, at the phases the
// recording without the jump reads; the sweep's start is where they lie.
TEST(SteadyProgram, AJumpInTheFirstToneIsNamedAndTheLaterTonesMeasuredOnTheirOwnTimeBase) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kThirdOctave);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    const double start = reference.json["delay_s"].get<double>();
    for (const int samples : {-2400, 2400}) {
        for (const std::size_t at : {170400u, 174000u}) {
            const Analysis jumped = analyze(dir, cut(played, at, samples), "cut");
            EXPECT_EQ(jumped.run.exitCode, 0) << samples << " at " << at << jumped.run.err;
            EXPECT_EQ(jumped.run.err.find("agree on one clock"), std::string::npos) << jumped.run.err;
            ASSERT_EQ(jumped.json["jumps"].size(), 1u) << samples << " at " << at << jumped.run.err;
            EXPECT_EQ(jumped.json["jumps"][0]["tone"], 0);
            EXPECT_NEAR(jumped.json["jumps"][0]["size_samples"].get<double>(), samples, 12.0 + 0.02 * 2400.0);
            EXPECT_NE(jumped.run.err.find("the jump lies in the first tone"), std::string::npos) << jumped.run.err;
            EXPECT_NEAR(jumped.json["delay_s"].get<double>(), start + samples / double(kRate), 0.5 / kRate) << at;
            expectMeasuredFrom(jumped, reference, 1);
        }
    }
}

// The first tone of a sweep starting at 50 Hz holds 50 ms lost well into its
// block, or (starting at 20 Hz, whose period is itself 50 ms) 50 ms of
// silence put in: the later tones either agree on no clock from any start
// the search reaches, or agree on one 2400 samples after the pulse. Either
// way the jump lies in the first tone and must be named there with its sign,
// never taken for another recording, and the sweep's start is where the
// later tones lie.
TEST(SteadyProgram, AJumpInsideALowFirstToneIsNamedAndNotTakenForAnotherRecording) {
    // The size comes from where the later tones end, to a few per cent of
    // the first tone's period: 960 samples at 50 Hz, 2400 at 20 Hz.
    const struct {
        std::vector<std::string> sweep;
        int samples;
        double sizeTolerance;
    } cases[] = {{{"--start", "50", "--end", "18000", "--step", "6"}, -2400, 12.0 + 0.02 * 2400.0},
                 {{"--start", "20"}, 2400, 120.0}};
    for (const auto& c : cases) {
        TempDir dir;
        const auto [played, reference] = recordClean(dir, c.sweep);
        ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
        const double start = reference.json["delay_s"].get<double>();
        const Analysis jumped = analyze(dir, cut(played, 174000, c.samples), "cut");
        EXPECT_EQ(jumped.run.exitCode, 0) << c.samples << jumped.run.err;
        EXPECT_EQ(jumped.run.err.find("agree on one clock"), std::string::npos) << jumped.run.err;
        ASSERT_EQ(jumped.json["jumps"].size(), 1u) << c.samples << jumped.run.err;
        EXPECT_EQ(jumped.json["jumps"][0]["tone"], 0);
        EXPECT_NEAR(jumped.json["jumps"][0]["size_samples"].get<double>(), c.samples, c.sizeTolerance);
        EXPECT_NE(jumped.run.err.find("the jump lies in the first tone"), std::string::npos) << jumped.run.err;
        EXPECT_NEAR(jumped.json["delay_s"].get<double>(), start + c.samples / double(kRate), 0.5 / kRate);
        expectMeasuredFrom(jumped, reference, 1);
    }
}

// 50 ms lost or put in late in the first tone of a sweep starting at 50 Hz:
// the later tones place the jump at tone 0 but not where in it, and the first
// tone's block, put on their time base, lies up to the whole jump from its
// tone: half a period at 50 Hz, with halves that agree (it read 180 degrees
// off with an interval of 6, and 27 dB low). It is flagged gap and left
// without a value; the run still measures every other tone (exit status 0).
TEST(SteadyProgram, TheFirstToneOfAJumpOnlyTheLaterTonesPlaceHasNoValue) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, {"--start", "50", "--end", "18000", "--step", "6"});
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    for (const int samples : {-2400, 2400}) {
        const Analysis jumped = analyze(dir, cut(played, 178000, samples), "cut");
        EXPECT_EQ(jumped.run.exitCode, 0) << samples << jumped.run.err;
        ASSERT_EQ(jumped.json["jumps"].size(), 1u) << samples << jumped.run.err;
        EXPECT_EQ(jumped.json["jumps"][0]["tone"], 0);
        EXPECT_EQ(jumped.json["status"], "ok");
        const nlohmann::json& first = jumped.json["tones"][0];
        EXPECT_EQ(first["flag"], "gap") << samples;
        EXPECT_TRUE(first["magnitude_db"].is_null()) << samples << ": " << first["magnitude_db"];
        EXPECT_TRUE(first["phase_deg"].is_null()) << samples << ": " << first["phase_deg"];
        EXPECT_NE(jumped.run.err.find("is flagged gap and not measured"), std::string::npos) << jumped.run.err;
        expectMeasuredFrom(jumped, reference, 1);
    }
}

// The same loss in a sweep with a pulse every 4 tones, in the first tone or
// the fifth: the next pulse comes 2400 samples early, further back than the
// half of its silence where a pulse in place may lie. It gives the jump to
// the sample, and every later tone is measured there.
TEST(SteadyProgram, ALossBringsTheNextPulseEarlyAndIsMeasuredFromIt) {
    TempDir dir;
    const CleanRecording clean = recordClean(dir, kPulseEveryFourTones);
    const Analysis& reference = clean.reference;
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    for (const std::size_t at : {172000u, 200000u}) {
        const Analysis jumped = analyze(dir, cut(clean.played, at, -2400), "cut");
        EXPECT_EQ(jumped.run.exitCode, 0) << at << jumped.run.err;
        EXPECT_EQ(jumped.run.err.find("agree on one clock"), std::string::npos) << jumped.run.err;
        ASSERT_EQ(jumped.json["jumps"].size(), 1u) << at << jumped.run.err;
        EXPECT_EQ(jumped.json["jumps"][0]["size_samples"].get<double>(), -2400.0) << at;
        EXPECT_TRUE(jumped.json["jumps"][0]["exact"].get<bool>()) << at;
        EXPECT_NEAR(jumped.json["delay_s"].get<double>(), reference.json["delay_s"].get<double>(), 0.5 / kRate) << at;
        expectMeasuredFrom(jumped, reference, jumped.json["jumps"][0]["tone"].get<std::size_t>() + 1);
    }
}

// 500 samples lost, or 500 zeros put in, between two blocks early in a
// third-octave sweep without later pulses: the low tones before the jump
// hold steady both where the first pulse puts them and 500 samples away, no
// tone is unsteady, and the tones after the jump outvote the pulse. The jump
// must be named with its size and sign, and no tone measured on the wrong
// side of it.
TEST(SteadyProgram, AnEarlyJumpBetweenBlocksWithoutLaterPulsesIsNamedAndNoToneMeasuredOnItsWrongSide) {
    TempDir dir;
    const auto [played, reference] = recordClean(dir, kThirdOctave);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    for (const int samples : {-500, 500}) {
        const Analysis jumped = analyze(dir, cut(played, 194108, samples), "cut");
        ASSERT_EQ(jumped.json["jumps"].size(), 1u) << samples << jumped.run.err;
        EXPECT_NEAR(jumped.json["jumps"][0]["size_samples"].get<double>(), samples, 12.0) << samples;
        EXPECT_EQ(phasesOffTheReference(reference.json, jumped.json), 0) << samples;
    }
}

// A click shortly before the first pulse is found as the pulse; the tones
// outvote it as they outvote a pulse before an early jump, but the true pulse
// lies where they put the start: no jump.
TEST(SteadyProgram, AClickJustBeforeTheFirstPulseIsNoJump) {
    TempDir dir;
    auto [played, reference] = recordClean(dir, kThirdOctave);
    ASSERT_EQ(reference.run.exitCode, 0) << reference.run.err;
    const auto pulse = static_cast<std::size_t>(std::lround(reference.json["delay_s"].get<double>() * kRate));
    for (const std::size_t before : {60u, 300u}) {
        std::vector<std::int16_t> clicked = played;
        clicked[pulse - before] = 20000;
        const Analysis run = analyze(dir, clicked, "click");
        EXPECT_EQ(run.run.exitCode, 0) << before << run.run.err;
        EXPECT_TRUE(run.json["jumps"].empty()) << before;
        EXPECT_EQ(phasesOffTheReference(reference.json, run.json), 0) << before;
    }
}

// 20 samples lost from a sixth-octave sweep with noise made by numpy, where
// the search of the phases once took a step of +5 samples at a later
// boundary and then took it back (-5 at the same one): one loss, named once,
// with its sign.
TEST(SteadyProgram, ALossFoundFromThePhasesIsNamedOnceWithItsSign) {
    const std::string python = "/usr/bin/python3";
    if (!std::filesystem::exists(python)) GTEST_SKIP() << "python3 with numpy is needed";
    TempDir dir;
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--start", "50", "--end", "18000", "--step", "6"}).exitCode, 0);
    const ProgramRun made = test::runProgram(
        python, {JUMP_RECORDING_SCRIPT, "s.wav", "79", "-20", "335750", "clean.wav", "cut.wav"}, "", dir.path().string());
    if (made.exitCode != 0) GTEST_SKIP() << "the numpy script failed (is python3-numpy installed?): " << made.err;
    ASSERT_EQ(test::auralyn(dir, {"analyze", "clean.wav", "s.swp", "--json", "clean.json", "-o", "clean.txt"}).exitCode, 0);
    const ProgramRun run = test::auralyn(dir, {"analyze", "cut.wav", "s.swp", "--json", "cut.json", "-o", "cut.txt"});
    const nlohmann::json clean = nlohmann::json::parse(test::readFileText(dir.file("clean.json")));
    const nlohmann::json cut = nlohmann::json::parse(test::readFileText(dir.file("cut.json")));
    ASSERT_EQ(cut["jumps"].size(), 1u) << run.err;
    EXPECT_EQ(cut["jumps"][0]["size_samples"].get<double>(), -20.0);
    EXPECT_EQ(phasesOffTheReference(clean, cut), 0);
}

}  // namespace
}  // namespace auralyn
