// auralyn analyze on recordings made through `auralyn simulate`: a recorder on
// another clock, a nonlinear device, noise, clipping and a two-channel
// recording with a loopback reference, each against what is known exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "sweep_recording.h"
#include "wave/wave_file.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

constexpr double kPi = 3.14159265358979323846;
// 100 Hz to 15 kHz at a third of an octave: 22 tones, a few seconds.
const std::vector<std::string> kSweep{"--start", "100", "--end", "15000", "--step", "3"};
// A device with its own filtering and delay, as a loudspeaker and room give it.
const std::vector<std::string> kDevice{"--lowpass", "9000", "0.8", "--highpass", "150", "0.7", "--delay", "301"};

void makeSweep(const TempDir& dir, std::vector<std::string> options = kSweep) {
    std::vector<std::string> args{"sweep", "-q", "-o", "s.wav"};
    args.insert(args.end(), options.begin(), options.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

void simulate(const TempDir& dir, const std::string& out, std::vector<std::string> device,
              const std::string& in = "s.wav") {
    std::vector<std::string> args{"simulate", in, out};
    args.insert(args.end(), device.begin(), device.end());
    const ProgramRun run = test::auralyn(dir, args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Tone {
    double frequency = 0.0, magnitudeDb = 0.0, phaseDeg = 0.0;
    nlohmann::json row;
};

struct Analysis {
    ProgramRun run;
    nlohmann::json json;
    std::string csv;
    std::vector<Tone> tones;
};

void expectNoNonFinite(const std::string& text, const std::string& what) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    EXPECT_EQ(lower.find("nan"), std::string::npos) << what;
    EXPECT_EQ(lower.find("inf"), std::string::npos) << what;
}

Analysis analyze(const TempDir& dir, const std::string& recording, std::vector<std::string> options = {}) {
    std::vector<std::string> args{"analyze", recording, "s.swp", "--csv", "a.csv", "--json", "a.json", "-o", "a.txt"};
    args.insert(args.end(), options.begin(), options.end());
    Analysis a;
    a.run = test::auralyn(dir, args);
    if (!test::exists(dir, "a.json")) return a;
    a.csv = test::readFileText(dir.file("a.csv"));
    const std::string json = test::readFileText(dir.file("a.json"));
    expectNoNonFinite(a.csv, recording + " csv");
    expectNoNonFinite(json, recording + " json");
    a.json = nlohmann::json::parse(json);
    for (const nlohmann::json& row : a.json["tones"]) {
        Tone tone;
        tone.frequency = row["frequency_hz"].get<double>();
        tone.magnitudeDb = row["magnitude_db"].is_number() ? row["magnitude_db"].get<double>() : -999.0;
        tone.phaseDeg = row["phase_deg"].get<double>();
        tone.row = row;
        a.tones.push_back(tone);
    }
    return a;
}

double wrappedDegrees(double degrees) { return std::remainder(degrees, 360.0); }

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
    simulate(dir, "drift.wav", with(kDevice, {"--clock", std::to_string(ppm)}));
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
    simulate(dir, "drift.wav", with(kDevice, {"--clock", "20"}));
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

TEST(AnalyzeClock, APolynomialDeviceShowsItsHarmonics) {
    TempDir dir;
    makeSweep(dir);
    // x = A sin: a2 x^2 gives H2 of a2 A^2 / 2, a3 x^3 H3 of a3 A^3 / 4 and 3 a3 A^3 / 4 more fundamental.
    const double gainDb = -6.0, a2 = 0.02, a3 = 0.03;
    simulate(dir, "poly.wav", {"--gain", "-6", "--polynomial", "0.02", "0.03"});
    const Analysis a = analyze(dir, "poly.wav");
    ASSERT_EQ(a.run.exitCode, 0) << a.run.err;
    const double amplitude = std::pow(10.0, gainDb / 20.0);
    const double fundamental = amplitude + 0.75 * a3 * amplitude * amplitude * amplitude;
    const double h2 = 20.0 * std::log10(a2 * amplitude * amplitude / 2.0 / fundamental);
    const double h3 = 20.0 * std::log10(a3 * amplitude * amplitude * amplitude / 4.0 / fundamental);
    const double thd = 10.0 * std::log10(std::pow(10.0, h2 / 10.0) + std::pow(10.0, h3 / 10.0));
    std::size_t checked = 0;
    for (const Tone& tone : a.tones) {
        EXPECT_NEAR(tone.magnitudeDb, 20.0 * std::log10(fundamental), 0.01) << tone.frequency;
        if (3.0 * tone.frequency >= 24000.0) continue;
        EXPECT_NEAR(tone.row["h2_dbc"].get<double>(), h2, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["h3_dbc"].get<double>(), h3, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["thd_db"].get<double>(), thd, 0.1) << tone.frequency;
        EXPECT_NEAR(tone.row["thd_percent"].get<double>(), 100.0 * std::pow(10.0, thd / 20.0), 0.01);
        EXPECT_GE(tone.row["thdn_db"].get<double>(), thd - 0.1);
        // No fifth harmonic is made: none stands clear of the noise, none is reported.
        EXPECT_TRUE(tone.row["h5_dbc"].is_null()) << tone.frequency;
        EXPECT_TRUE(tone.row["thd_db_upper"].is_null()) << tone.frequency;
        ++checked;
    }
    EXPECT_GT(checked, 15u);
    // A harmonic at or above half the rate has no value.
    EXPECT_TRUE(a.tones.back().row["h2_dbc"].is_null());
}

TEST(AnalyzeClock, ALinearDeviceInNoiseShowsNoHarmonicsAndBoundsTheDistortion) {
    TempDir dir;
    makeSweep(dir);
    // 6 dB down, so that the filters' rise near 5 kHz does not clip (clipping makes harmonics).
    simulate(dir, "linear.wav", with(kDevice, {"--gain", "-6", "--noise", "-60", "3"}));
    const Analysis a = analyze(dir, "linear.wav");
    ASSERT_EQ(a.run.exitCode, 0) << a.run.err;
    ASSERT_FALSE(a.tones.empty());
    std::size_t bounded = 0;
    for (const Tone& tone : a.tones) {
        for (const char* column : {"h2_dbc", "h3_dbc", "h4_dbc", "h5_dbc", "h6_dbc", "h7_dbc", "h8_dbc", "h9_dbc", "h10_dbc"})
            EXPECT_TRUE(tone.row[column].is_null()) << tone.frequency << " " << column;
        EXPECT_TRUE(tone.row["thd_db"].is_null()) << tone.frequency;
        EXPECT_TRUE(tone.row["thd_percent"].is_null()) << tone.frequency;
        bounded += tone.row["thd_db_upper"].is_number() ? 1 : 0;
    }
    EXPECT_GT(bounded, a.tones.size() / 2);
    // In the CSV the same fields are empty: h2..h10, thd_db (and its percent) hold nothing.
    std::istringstream lines(a.csv);
    std::string header;
    std::getline(lines, header);
    EXPECT_NE(header.find(",thd_db,thd_db_upper,thd_percent,"), std::string::npos) << header;
    std::string row;
    std::getline(lines, row);
    EXPECT_NE(row.find(",,,,,,,,,,"), std::string::npos) << row;
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

std::vector<std::int16_t> samplesOf(const std::string& path) {
    wave::WaveFile wave;
    std::vector<std::int16_t> samples;
    if (!wave.openRead(path.c_str())) return samples;
    samples.resize(wave.dataSize / 2);
    if (!wave.readSamples(samples.data(), static_cast<std::int32_t>(samples.size()))) samples.clear();
    return samples;
}

// The device's exact response at each tone, from the simulator.
std::vector<std::pair<double, double>> exactResponse(const TempDir& dir, const std::vector<Tone>& tones,
                                                     const std::vector<std::string>& device) {
    std::vector<std::string> args{"simulate", "--response"};
    for (const Tone& tone : tones) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", tone.frequency);
        args.push_back(text);
    }
    args.insert(args.end(), device.begin(), device.end());
    const ProgramRun run = test::auralyn(dir, args);
    std::vector<std::pair<double, double>> response;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        double f = 0.0, db = 0.0, deg = 0.0;
        if (std::sscanf(line.c_str(), "%lf, %lf, %lf", &f, &db, &deg) == 3) response.push_back({db, deg});
    }
    return response;
}

TEST(AnalyzeClock, TwoChannelsMeasureTheDeviceAgainstItsReference) {
    TempDir dir;
    makeSweep(dir);
    const std::vector<std::string> device{"--lowpass", "3000", "0.7", "--gain", "-3"};
    simulate(dir, "device.wav", with(device, {"--delay", "40", "--clock", "30"}));
    simulate(dir, "wire.wav", {"--gain", "-1", "--delay", "40", "--clock", "30"});
    const std::vector<std::int16_t> left = samplesOf(dir.file("device.wav"));
    const std::vector<std::int16_t> right = samplesOf(dir.file("wire.wav"));
    ASSERT_EQ(left.size(), right.size());
    std::vector<std::int16_t> stereo;
    for (std::size_t n = 0; n < left.size(); ++n) stereo.insert(stereo.end(), {right[n], left[n]});
    test::writeWave(dir.file("stereo.wav"), 48000, stereo, 2);

    const Analysis a = analyze(dir, "stereo.wav", {"--channel", "2", "--reference-channel", "1"});
    ASSERT_EQ(a.run.exitCode, 0) << a.run.err;
    const std::vector<std::pair<double, double>> exact = exactResponse(dir, a.tones, device);
    ASSERT_EQ(exact.size(), a.tones.size());
    for (std::size_t i = 0; i < a.tones.size(); ++i) {
        // The wire's own -1 dB is the reference's: the ratio holds it as +1 dB.
        EXPECT_NEAR(a.tones[i].magnitudeDb, exact[i].first + 1.0, 0.02) << a.tones[i].frequency;
        EXPECT_NEAR(wrappedDegrees(a.tones[i].phaseDeg - exact[i].second), 0.0, 0.5) << a.tones[i].frequency;
        EXPECT_GT(a.tones[i].row["magnitude_u95_db"].get<double>(), 0.0);
    }

    struct Bad {
        std::vector<std::string> options;
        std::string message;
    };
    for (const Bad& bad : std::vector<Bad>{
             {{}, "auralyn: stereo.wav: has 2 channels; name the device's channel with --channel N"},
             {{"--channel", "3"}, "auralyn: stereo.wav: has 2 channels; --channel 3 is not one of them (1..2)"},
             {{"--channel", "1", "--reference-channel", "0"}, ""},
             {{"--channel", "1", "--reference-channel", "5"}, "--reference-channel 5 is not one of them"},
             {{"--channel", "1", "--reference-channel", "1"}, "--reference-channel must name another channel"},
             {{"--channel", "1", "--reference-channel", "2", "--clock-correction", "off"}, "only mono"}}) {
        const Analysis run = analyze(dir, "stereo.wav", bad.options);
        if (bad.message.empty()) {
            EXPECT_EQ(run.run.exitCode, 0) << run.run.err;
            continue;
        }
        EXPECT_EQ(run.run.exitCode, 2) << bad.message;
        EXPECT_NE(run.run.err.find(bad.message), std::string::npos) << run.run.err;
    }
    const ProgramRun mono = test::auralyn(dir, {"analyze", "s.wav", "s.swp", "--channel", "2", "--csv", "m.csv"});
    EXPECT_EQ(mono.exitCode, 2);
    EXPECT_FALSE(test::exists(dir, "m.csv"));
}

}  // namespace
}  // namespace auralyn
