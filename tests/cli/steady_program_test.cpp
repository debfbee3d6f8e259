// auralyn analyze on recordings whose timing jumped (a player's underrun):
// the message naming the jump, the exit status, the JSON's jumps and
// clock_model, and the tables' steady, flag and noise_source columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "sweep_recording.h"
#include "wave_samples.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

// The sweep played with the player stalled for 50 ms (or `samples`; lost
// where negative, a recorder's dropped buffer) at 60 % of its tones (which
// follow 3.5 s of lead-in).
void recordUnderrun(const TempDir& dir, const std::vector<std::string>& sweepOptions, int samples = 2400) {
    std::vector<std::string> args{"sweep", "-q", "-o", "s.wav", "--start", "100", "--end", "15000", "--step", "3"};
    args.insert(args.end(), sweepOptions.begin(), sweepOptions.end());
    ASSERT_EQ(test::auralyn(dir, args).exitCode, 0);
    std::vector<std::int16_t> sweep = test::readWaveSamples(dir.file("s.wav"));
    const std::size_t leadIn = 168000;
    const auto at = static_cast<std::ptrdiff_t>(leadIn + (sweep.size() - leadIn) * 6 / 10);
    if (samples > 0) sweep.insert(sweep.begin() + at, static_cast<std::size_t>(samples), std::int16_t{0});
    if (samples < 0) sweep.erase(sweep.begin() + at, sweep.begin() + at - samples);
    sweep.insert(sweep.end(), 4800, std::int16_t{0});
    test::writeWave(dir.file("u.wav"), 48000, sweep);
}

ProgramRun analyze(const TempDir& dir, const std::string& recording, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"analyze", recording, "s.swp", "--csv", "a.csv", "--json", "a.json", "-o", "a.txt"};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::auralyn(dir, args);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find('\n', from);
        out.push_back(text.substr(from, end - from));
        if (end == std::string::npos) break;
        from = end + 1;
    }
    return out;
}

std::string lastField(const std::string& row, int fromEnd) {
    std::size_t end = row.size();
    for (int i = 0; i < fromEnd; ++i) end = row.rfind(',', end - 1);
    const std::size_t begin = row.rfind(',', end - 1) + 1;
    return row.substr(begin, end - begin);
}

TEST(SteadyProgram, AnUnderrunWithoutPulsesIsNamedAndItsLaterTonesAreNotMeasured) {
    TempDir dir;
    recordUnderrun(dir, {});
    const ProgramRun run = analyze(dir, "u.wav");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("auralyn: the recording jumps by "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" ms at "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("make the sweep with sync pulses"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("do not agree on one clock"), std::string::npos) << run.err;
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
    EXPECT_EQ(json["status"], "jump");
    ASSERT_EQ(json["jumps"].size(), 1u);
    EXPECT_FALSE(json["jumps"][0]["exact"].get<bool>());
    EXPECT_NEAR(json["jumps"][0]["size_s"].get<double>(), 0.05, 0.002);
    const unsigned jumpTone = json["jumps"][0]["tone"];
    const auto& tones = json["tones"];
    for (unsigned i = 0; i < tones.size(); ++i) {
        EXPECT_EQ(tones[i]["flag"] == "jump", i >= jumpTone) << i;
        if (i >= jumpTone) {
            EXPECT_TRUE(tones[i]["amplitude"].is_null()) << i;
        }
    }
    const std::vector<std::string> csv = lines(test::readFileText(dir.file("a.csv")));
    ASSERT_GT(csv.size(), 3u);
    EXPECT_EQ(csv[0], "# failed: jump");
    EXPECT_EQ(csv[1].substr(csv[1].size() - 25), ",steady,flag,noise_source");
    EXPECT_EQ(lastField(csv[2], 1), "");  // the first tone: no flag
    EXPECT_EQ(lastField(csv[2], 2), "true");
    EXPECT_EQ(lastField(csv.back(), 1), "jump");
    // A tone not measured still carries the recording's sampling rate.
    EXPECT_EQ(csv[1].substr(csv[1].size() - 40), ",sample_rate_hz,steady,flag,noise_source");
    EXPECT_EQ(lastField(csv.back(), 3), "48000");
}

// The number after "Tones measured:" in the summary, or -1.
long summaryCount(const std::string& out, const std::string& label) {
    const std::size_t at = out.find(label);
    if (at == std::string::npos) return -1;
    return std::stol(out.substr(at + label.size()));
}

// The stall lies at 60 % of the tones: the summary must count only the tones
// before it, and the rest as not measured, so that both add up to the sweep.
TEST(SteadyProgram, TheSummaryCountsOnlyTheTonesMeasuredBeforeAnUnplacedJump) {
    TempDir dir;
    recordUnderrun(dir, {});
    const ProgramRun run = analyze(dir, "u.wav");
    ASSERT_EQ(run.exitCode, 1) << run.err;
    const long measured = summaryCount(run.out, "Tones measured: ");
    const long notMeasured = summaryCount(run.out, "Tones not measured: ");
    const std::size_t of = run.out.find(" of ", run.out.find("Tones measured: "));
    ASSERT_NE(of, std::string::npos) << run.out;
    const long total = std::stol(run.out.substr(of + 4));
    EXPECT_GT(measured, 0) << run.out;
    EXPECT_LE(measured, total * 6 / 10 + 1) << run.out;
    EXPECT_EQ(measured + notMeasured, total) << run.out;
}

TEST(SteadyProgram, AnUnderrunBeforeAPulseIsMeasuredAfterIt) {
    TempDir dir;
    recordUnderrun(dir, {"--tones-per-sync", "4"});
    const ProgramRun run = analyze(dir, "u.wav");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("auralyn: the recording jumps by 50.0 ms at "), std::string::npos) << run.err;
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
    EXPECT_EQ(json["status"], "ok");
    ASSERT_EQ(json["jumps"].size(), 1u);
    EXPECT_TRUE(json["jumps"][0]["exact"].get<bool>());
    EXPECT_EQ(json["jumps"][0]["size_samples"].get<double>(), 2400.0);
    EXPECT_EQ(json["clock_model"]["model"], "constant");
    for (const auto& tone : json["tones"]) {
        EXPECT_TRUE(tone["flag"] == "" || tone["flag"] == "gap") << tone["frequency_hz"];
        EXPECT_FALSE(tone["amplitude"].is_null());
    }
}

// Jumps of 10 ms, shorter than the settling time of 40 ms, without a sync
// pulse after them: named with their size and direction. Where the later
// tones stayed steady at their old place, the step in their phases gives the
// jump to the sample and they are measured at the new one (exit 0): their
// phases must then be those of the same sweep recorded without the jump,
// within both intervals. Otherwise they are not measured (exit 1).
TEST(SteadyProgram, AJumpShorterThanTheSettlingTimeIsNamedWithItsSizeAndDirection) {
    TempDir cleanDir;
    recordUnderrun(cleanDir, {}, 0);
    ASSERT_EQ(analyze(cleanDir, "u.wav").exitCode, 0);
    const nlohmann::json clean = nlohmann::json::parse(test::readFileText(cleanDir.file("a.json")));
    struct Case {
        int samples;
        const char* message;
        const char* direction;
    };
    for (const Case c : {Case{480, "auralyn: the recording jumps by 1", " samples late"},
                         Case{-480, "auralyn: the recording jumps by -", " samples early"}}) {
        TempDir dir;
        recordUnderrun(dir, {}, c.samples);
        const ProgramRun run = analyze(dir, "u.wav");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.direction), std::string::npos) << run.err;
        const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
        ASSERT_EQ(json["jumps"].size(), 1u) << c.samples;
        const unsigned jumpTone = json["jumps"][0]["tone"];
        if (json["jumps"][0]["exact"].get<bool>()) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(json["status"], "ok");
            EXPECT_EQ(json["jumps"][0]["found_by"], "phases");
            EXPECT_EQ(json["jumps"][0]["size_samples"].get<double>(), c.samples);
            for (unsigned i = jumpTone + 1; i < json["tones"].size(); ++i) {
                const auto& t = json["tones"][i];
                const auto& truth = clean["tones"][i];
                ASSERT_FALSE(t["phase_deg"].is_null()) << i;
                const double error = std::remainder(t["phase_deg"].get<double>() - truth["phase_deg"].get<double>(), 360.0);
                EXPECT_LE(std::fabs(error), t["phase_u95_deg"].get<double>() + truth["phase_u95_deg"].get<double>()) << i;
            }
            continue;
        }
        EXPECT_EQ(run.exitCode, 1) << c.samples;
        EXPECT_EQ(json["status"], "jump");
        EXPECT_NEAR(json["jumps"][0]["size_samples"].get<double>(), c.samples, 12.0 + 0.05 * std::abs(c.samples));
        for (unsigned i = jumpTone; i < json["tones"].size(); ++i) {
            EXPECT_TRUE(json["tones"][i]["amplitude"].is_null()) << i;
        }
    }
}

// 200 ms lost from the middle of the sweep (a recorder's dropped buffers,
// longer than a tone: whole tones are gone) or 200 ms of silence put in,
// without a sync pulse after it: named with its size to a per cent and its
// sign, the later tones not measured, exit 1.
TEST(SteadyProgram, ALossLongerThanATonesIsNamedWithItsSize) {
    for (const int samples : {-9600, 9600}) {
        TempDir dir;
        recordUnderrun(dir, {}, samples);
        const ProgramRun run = analyze(dir, "u.wav");
        EXPECT_EQ(run.exitCode, 1) << samples;
        EXPECT_NE(run.err.find(samples < 0 ? "auralyn: the recording jumps by -19" : "auralyn: the recording jumps by 20"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(samples < 0 ? " samples early" : " samples late"), std::string::npos) << run.err;
        const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
        EXPECT_EQ(json["status"], "jump");
        ASSERT_EQ(json["jumps"].size(), 1u) << samples;
        EXPECT_NEAR(json["jumps"][0]["size_s"].get<double>(), samples / 48000.0, 0.002) << samples;
        const unsigned jumpTone = json["jumps"][0]["tone"];
        // The last tones of the shortened recording lie past its end: not measured either.
        for (unsigned i = 0; i < json["tones"].size(); ++i) {
            EXPECT_EQ(json["tones"][i]["amplitude"].is_null(), i >= jumpTone) << i;
            if (i < jumpTone) {
                EXPECT_NE(json["tones"][i]["flag"], "jump") << i;
            }
        }
    }
}

// The sweep through a room whose reverberation (exponentially decaying noise,
// decay time 0.08 s, every 32nd tap over 0.3 s) outlasts the settling time
// of 0.04 s, convolved here, with a little noise.
void recordRoom(const TempDir& dir) {
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--start", "100", "--end", "15000", "--step", "3"}).exitCode, 0);
    const std::vector<std::int16_t> dry = test::readWaveSamples(dir.file("s.wav"));
    std::mt19937 random(17);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<std::pair<std::size_t, double>> taps{{0, 0.3}};
    for (std::size_t n = 32; n < 14400; n += 32) taps.push_back({n, 0.045 * std::exp(-(n / 48000.0) / 0.08) * gauss(random)});
    std::vector<double> wet(dry.size() + 4800, 0.0);
    for (const auto& [delay, weight] : taps) {
        for (std::size_t k = delay; k < dry.size(); ++k) wet[k] += weight * dry[k - delay];
    }
    std::vector<std::int16_t> recorded;
    for (const double x : wet) recorded.push_back(static_cast<std::int16_t>(std::lround(std::clamp(x + 3.0 * gauss(random), -32768.0, 32767.0))));
    test::writeWave(dir.file("room.wav"), 48000, recorded);
}

TEST(SteadyProgram, ARoomThatHasNotSettledIsNamedWithWhatToDo) {
    TempDir dir;
    recordRoom(dir);
    const ProgramRun run = analyze(dir, "room.wav");
    EXPECT_NE(run.err.find("make the sweep with a longer settling time (sweep --settling)"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("do not agree on one clock"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("jumps by"), std::string::npos) << run.err;
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
    std::size_t unsettled = 0;
    for (const auto& tone : json["tones"]) unsettled += tone["flag"] == "unsettled" ? 1 : 0;
    EXPECT_GT(unsettled, 0u);
    if (run.exitCode == 0) {
        EXPECT_EQ(json["status"], "ok");
        EXPECT_NE(run.err.find("flagged unsettled"), std::string::npos) << run.err;
    } else {
        EXPECT_EQ(json["status"], "unsettled");
        EXPECT_EQ(test::readFileText(dir.file("a.csv")).substr(0, 19), "# failed: unsettled");
    }
    std::printf("unsettled room: exit %d, %zu of %zu tones flagged unsettled\n", run.exitCode, unsettled, json["tones"].size());
}

// The default sweep recorded by a recorder that repeats one sample at 60 %
// of its tones: the jump is named, and every tone reads as it does in the
// recording without it, within their intervals.
TEST(SteadyProgram, ARepeatedSampleIsFoundFromThePhasesAndTheTonesMeasuredAfterIt) {
    TempDir dir;
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "s.wav"}).exitCode, 0);
    std::vector<std::int16_t> samples = test::readWaveSamples(dir.file("s.wav"));
    const std::size_t at = 168000 + (samples.size() - 168000) * 6 / 10;
    samples.insert(samples.begin() + static_cast<std::ptrdiff_t>(at), samples[at]);
    test::writeWave(dir.file("d.wav"), 48000, samples);
    ASSERT_EQ(test::auralyn(dir, {"analyze", "s.wav", "s.swp", "--json", "clean.json"}).exitCode, 0);
    const ProgramRun run = analyze(dir, "d.wav");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("auralyn: the recording jumps by 0.021 ms at "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("every later tone comes 1 sample late (a recorder that dropped or repeated samples)"),
              std::string::npos)
        << run.err;
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
    const nlohmann::json clean = nlohmann::json::parse(test::readFileText(dir.file("clean.json")));
    EXPECT_EQ(json["status"], "ok");
    ASSERT_EQ(json["jumps"].size(), 1u);
    EXPECT_EQ(json["jumps"][0]["size_samples"].get<double>(), 1.0);
    EXPECT_EQ(json["jumps"][0]["found_by"], "phases");
    ASSERT_EQ(json["tones"].size(), clean["tones"].size());
    std::size_t outside = 0;
    for (std::size_t i = 0; i < clean["tones"].size(); ++i) {
        const auto& a = json["tones"][i];
        const auto& b = clean["tones"][i];
        const double apart = std::remainder(a["phase_deg"].get<double>() - b["phase_deg"].get<double>(), 360.0);
        const bool out = std::fabs(apart) > std::hypot(a["phase_u95_deg"].get<double>(), b["phase_u95_deg"].get<double>());
        // The tone the repeated sample fell in changed along its block: it is flagged, not measured as steady.
        if (out) {
            EXPECT_NE(a["flag"], "") << i;
        }
        outside += out && a["flag"] == "" ? 1 : 0;
    }
    EXPECT_EQ(outside, 0u);
}

// echoprobe's walk stays as it was: no checks, no new columns or fields.
TEST(SteadyProgram, WithoutTheClockCorrectionTheTablesStayAsTheyWere) {
    TempDir dir;
    recordUnderrun(dir, {});
    analyze(dir, "s.wav", {"--clock-correction", "off"});
    const std::vector<std::string> csv = lines(test::readFileText(dir.file("a.csv")));
    EXPECT_EQ(csv[0].find("steady"), std::string::npos);
    const nlohmann::json json = nlohmann::json::parse(test::readFileText(dir.file("a.json")));
    EXPECT_FALSE(json.contains("jumps"));
    EXPECT_FALSE(json.contains("clock_model"));
    EXPECT_FALSE(json["tones"][0].contains("flag"));
}

}  // namespace
}  // namespace auralyn
