// auralyn analyze on recordings made through `auralyn simulate`: a recorder on
// another clock, another sweep or noise, a pulse below the threshold, noise
// and clipping, each against what is known exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "simulated_analyses.h"
#include "sweep_recording.h"

namespace auralyn::test::simulated {
namespace {

// The delay, in samples, that best explains the phase differences of two
// measurements of one device (least squares through the origin): a whole
// recording's delay is the one thing no method can tell from a clock.
double commonDelay(const std::vector<Tone>& a, const std::vector<Tone>& b, double rate) {
    double sumFd = 0.0, sumFf = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double cycles = a[i].frequency / rate;
        sumFd += cycles * wrappedDegrees(a[i].phaseDeg - b[i].phaseDeg);
        sumFf += cycles * cycles;
    }
    return -sumFd / sumFf / 360.0;
}

double clockPpm(const std::string& out) {
    const std::string prefix = "Clock: the recording runs ";
    const std::size_t at = out.find(prefix);
    if (at == std::string::npos) return NAN;
    return std::strtod(out.c_str() + at + prefix.size(), nullptr);
}

// The same device on one clock and on a recorder `ppm` off: the clock line,
// and every tone after one delay.
void expectSingleClockResult(double ppm) {
    TempDir dir;
    makeSweep(dir);
    simulate(dir, "one.wav", kDevice);
    simulate(dir, "drift.wav", joined(kDevice, {"--clock", std::to_string(ppm)}));
    const Analysis one = analyze(dir, "one.wav");
    ASSERT_EQ(one.run.exitCode, 0) << one.run.err;
    const Analysis drift = analyze(dir, "drift.wav");
    ASSERT_EQ(drift.run.exitCode, 0) << drift.run.err;
    EXPECT_NEAR(clockPpm(drift.run.out), ppm, 0.2) << drift.run.out;
    EXPECT_NEAR(drift.json["clock_ppm"].get<double>(), ppm, 0.2);
    EXPECT_LT(drift.json["clock_ppm_u95"].get<double>(), 0.2);
    ASSERT_EQ(one.tones.size(), drift.tones.size());
    const double delay = commonDelay(drift.tones, one.tones, 48000.0);
    EXPECT_LT(std::fabs(delay), 2.0);
    double worstDb = 0.0, worstDeg = 0.0;
    for (std::size_t i = 0; i < one.tones.size(); ++i) {
        if (one.tones[i].magnitudeDb < -40.0) continue;
        const double dDb = drift.tones[i].magnitudeDb - one.tones[i].magnitudeDb;
        const double dDeg = wrappedDegrees(drift.tones[i].phaseDeg - one.tones[i].phaseDeg +
                                           360.0 * delay * one.tones[i].frequency / 48000.0);
        worstDb = std::max(worstDb, std::fabs(dDb));
        worstDeg = std::max(worstDeg, std::fabs(dDeg));
        EXPECT_NEAR(drift.tones[i].row["frequency_measured_hz"].get<double>(),
                    one.tones[i].frequency / (1.0 + ppm * 1e-6), 0.01 * one.tones[i].frequency * 1e-3);
    }
    EXPECT_LT(worstDb, 0.02) << ppm;
    EXPECT_LT(worstDeg, 0.5) << ppm;
    std::printf("[ figures  ] %+.0f ppm: clock %+.3f ppm, worst %.4f dB, %.3f deg after %.3f samples\n", ppm,
                clockPpm(drift.run.out), worstDb, worstDeg, delay);
}

TEST(AnalyzeClock, ARecorder20PpmFastMeasuresAsOnOneClock) { expectSingleClockResult(20.0); }

TEST(AnalyzeClock, ARecorder200PpmSlowMeasuresAsOnOneClock) { expectSingleClockResult(-200.0); }

TEST(AnalyzeClock, CorrectionOffIsEchoprobesReportByteForByte) {
    TempDir dir;
    makeSweep(dir);
    simulate(dir, "drift.wav", joined(kDevice, {"--clock", "20"}));
    const Analysis off = analyze(dir, "drift.wav", {"--clock-correction", "off"});
    ASSERT_EQ(off.run.exitCode, 0) << off.run.err;
    EXPECT_EQ(off.run.out.find("Clock:"), std::string::npos);
    EXPECT_TRUE(off.json["clock_ppm"].is_null());
    EXPECT_TRUE(off.json["clock_ppm_u95"].is_null());
    const ProgramRun echo = test::echoprobe(dir, "drift.wav", "s.swp", "echo.txt");
    EXPECT_EQ(echo.exitCode, 0);
    EXPECT_EQ(test::readFileText(dir.file("a.txt")), test::readFileText(dir.file("echo.txt")));
    // The quality columns are there all the same.
    for (const Tone& tone : off.tones) EXPECT_TRUE(tone.row["snr_db"].is_number()) << tone.frequency;
}

TEST(AnalyzeClock, NoiseOrAnotherSweepIsNoRecordingOfThisSweep) {
    TempDir dir;
    makeSweep(dir, {"--start", "300", "--end", "12000", "--step", "2", "--linear"});
    std::filesystem::rename(dir.file("s.wav"), dir.file("other.wav"));
    std::filesystem::rename(dir.file("s.swp"), dir.file("other.swp"));
    makeSweep(dir);
    std::mt19937 random(7);
    std::normal_distribution<double> gauss(0.0, 9000.0);
    std::vector<std::int16_t> noise(48000 * 8);
    for (std::int16_t& sample : noise) sample = static_cast<std::int16_t>(std::clamp(gauss(random), -32767.0, 32767.0));
    test::writeWave(dir.file("noise.wav"), 48000, noise);
    for (const char* recording : {"noise.wav", "other.wav"}) {
        const Analysis a = analyze(dir, recording);
        EXPECT_EQ(a.run.exitCode, 1) << recording;
        // Noise holds nothing of this sweep; another sweep has a pulse where
        // this one's would be, and a few tones in common, but its tones do not
        // agree on one clock.
        const std::string why = recording == std::string("noise.wav")
                                    ? ": found no sweep"
                                    : ": the tones do not agree on one clock: is this a recording of this sweep?";
        EXPECT_NE(a.run.err.find(std::string("auralyn: ") + recording + why), std::string::npos) << a.run.err;
        EXPECT_EQ(a.run.out.find("Clock:"), std::string::npos) << a.run.out;
        EXPECT_TRUE(a.json["clock_ppm"].is_null()) << recording;
    }
}

TEST(AnalyzeClock, TheWalksIntervalsHoldWhatAnotherClockDoesToItsPhases) {
    // echoprobe's walk takes the recorder's clock for the sweep's: 100 ppm off,
    // its phases drift away from the corrected ones, and its intervals must say so.
    TempDir dir;
    makeSweep(dir);
    simulate(dir, "c100.wav", {"--gain", "-6", "--clock", "100", "--noise", "-70", "1"});
    const Analysis corrected = analyze(dir, "c100.wav");
    const Analysis walked = analyze(dir, "c100.wav", {"--clock-correction", "off"});
    ASSERT_EQ(corrected.run.exitCode, 0) << corrected.run.err;
    ASSERT_EQ(walked.tones.size(), corrected.tones.size());
    for (std::size_t i = 0; i < walked.tones.size(); ++i) {
        const double apart = std::fabs(wrappedDegrees(walked.tones[i].phaseDeg - corrected.tones[i].phaseDeg));
        const double allowed = walked.tones[i].row["phase_u95_deg"].get<double>() +
                               corrected.tones[i].row["phase_u95_deg"].get<double>();
        EXPECT_LE(apart, allowed) << walked.tones[i].frequency;
    }
    EXPECT_EQ(walked.tones.back().row["phase_u95_deg"].get<double>(), 180.0);
    // On one clock the walk's intervals stay narrow.
    simulate(dir, "c0.wav", {"--gain", "-6", "--noise", "-70", "1"});
    const Analysis oneClock = analyze(dir, "c0.wav", {"--clock-correction", "off"});
    for (const Tone& tone : oneClock.tones) EXPECT_LT(tone.row["phase_u95_deg"].get<double>(), 1.0) << tone.frequency;
}

TEST(AnalyzeClock, NoiseAloneGivesRowsWithoutInventedNumbers) {
    TempDir dir;
    makeSweep(dir);
    // The low tones drown in the noise behind two high-pass filters while the
    // pulse stays findable; a sweep buried in noise whole has no pulse to find.
    simulate(dir, "noisy.wav",
             {"--gain", "-3", "--highpass", "4000", "0.7", "--highpass", "4000", "0.7", "--noise", "-50", "5"});
    const Analysis a = analyze(dir, "noisy.wav", {"--clock-correction", "off"});
    ASSERT_FALSE(a.tones.empty()) << a.run.err;
    for (const Tone& tone : a.tones) {
        EXPECT_TRUE(tone.row["noise_floor_dbfs"].is_number());
        EXPECT_TRUE(tone.row["magnitude_u95_db"].is_number());
    }
    test::writeWave(dir.file("silence.wav"), 48000, std::vector<std::int16_t>(48000 * 6));
    simulate(dir, "hiss.wav", {"--noise", "-30", "9"}, "silence.wav");
    for (const char* mode : {"on", "off"}) {
        const Analysis hiss = analyze(dir, "hiss.wav", {"--clock-correction", mode});
        EXPECT_EQ(hiss.run.exitCode, 1) << mode;
    }
}

// echoprobe's walk needs the pulse; the clock correction finds the sweep by
// its tones, so a pulse below the threshold is no reason to refuse.
TEST(AnalyzeClock, APulseBelowTheThresholdIsFoundByTheTonesWithTheClockCorrection) {
    TempDir dir;
    // A pulse written below the threshold, a fast first tone right behind it.
    makeSweep(dir, {"--rate", "8000", "--start", "777", "--step", "3", "--sync-level", "10"});
    const Analysis walked = analyze(dir, "s.wav", {"--clock-correction", "off"});
    EXPECT_EQ(walked.run.exitCode, 1);
    EXPECT_NE(walked.run.err.find("the synchronization pulse could not be found"), std::string::npos)
        << walked.run.err;
    const Analysis weak = analyze(dir, "s.wav", {"--clock-correction", "on"});
    EXPECT_EQ(weak.run.exitCode, 0) << weak.run.err;
    EXPECT_EQ(weak.json["sync"], "sweep");
    // A playback level that puts the pulse just under the threshold, the tones above it.
    makeSweep(dir, {"--step", "3"});
    simulate(dir, "quiet.wav", {"--gain", "-16"});
    const Analysis quiet = analyze(dir, "quiet.wav");
    EXPECT_EQ(quiet.run.exitCode, 0) << quiet.run.err;
    EXPECT_EQ(quiet.json["sync"], "sweep");
    EXPECT_NE(quiet.run.out.find("Sweep begins at"), std::string::npos) << quiet.run.out;
    ASSERT_FALSE(quiet.tones.empty());
    for (const Tone& tone : quiet.tones)
        EXPECT_NEAR(tone.row["magnitude_db"].get<double>(), -16.0, 0.05) << tone.row["frequency_hz"];
}

TEST(AnalyzeClock, WarnsOfTheTonesThatClipAndOnlyThose) {
    TempDir dir;
    makeSweep(dir);
    const Analysis plain = analyze(dir, "s.wav");
    EXPECT_EQ(plain.run.err, "");  // a full-scale sweep grazes full scale by design
    simulate(dir, "loud.wav", {"--lowpass", "2000", "0.7", "--gain", "3"});
    const Analysis loud = analyze(dir, "loud.wav");
    EXPECT_NE(loud.run.err.find("auralyn: warning: loud.wav: the recording clips (flat tops at full scale) in "),
              std::string::npos)
        << loud.run.err;
    EXPECT_NE(loud.run.err.find("100 Hz"), std::string::npos) << loud.run.err;
    EXPECT_EQ(loud.run.err.find("12699"), std::string::npos) << loud.run.err;  // far down the low-pass
}

}  // namespace
}  // namespace auralyn::test::simulated
