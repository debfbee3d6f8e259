// auralyn against damaged and wrong inputs, and failed runs: each is refused
// with a message and exit 1, or its outputs say that it failed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "sweep/sweep_plan.h"
#include "wave_samples.h"

namespace auralyn {
namespace {

using test::ProgramRun;
using test::TempDir;

// Three tones, 1000 to 4000 Hz an octave apart, written by auralyn sweep: an ideal device's recording.
void makeSweep(const TempDir& dir) {
    const ProgramRun run =
        test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--start", "1000", "--end", "4000", "--step", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

void storeU32(test::Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The samples of the last tone's tail: what a recording may lose without its
// last block being touched.
std::int32_t lastTail(const TempDir& dir) {
    sweep::SweepPlan plan;
    std::FILE* file = std::fopen(dir.file("s.swp").c_str(), "rb");
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(plan.readParameters(file));
    std::fclose(file);
    plan.rewind();
    while (plan.nextTone()) {
    }
    return plan.driftSamples();
}

const std::vector<std::vector<std::string>> kBothModes = {{}, {"--clock-correction", "off"}};

std::vector<std::string> analyzeArgs(const std::string& recording, const std::vector<std::string>& mode) {
    std::vector<std::string> args{"analyze", recording, "s.swp", "-o", "r.txt", "--csv", "r.csv", "--json", "r.json"};
    args.insert(args.end(), mode.begin(), mode.end());
    return args;
}

// Refused before anything is measured: exit 1, the message, no output.
void expectRefusedInBothModes(const TempDir& dir, const std::string& recording, const std::string& message) {
    for (const auto& mode : kBothModes) {
        const ProgramRun run = test::auralyn(dir, analyzeArgs(recording, mode));
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(test::exists(dir, "r.txt") || test::exists(dir, "r.csv") || test::exists(dir, "r.json"));
    }
}

TEST(HostileRecordings, ABlockAlignThatIsNotTheChannelsSampleSizeIsRefused) {
    TempDir dir;
    makeSweep(dir);
    test::Bytes wav = test::readFileBytes(dir.file("s.wav"));
    wav[32] = 4;  // a mono 16-bit file that claims 4-byte frames
    test::writeFileBytes(dir.file("align.wav"), wav);
    expectRefusedInBothModes(dir, "align.wav",
                             "align.wav: its header's block align, 4 bytes, is not the channel count times 2 bytes");
}

// A recorder that never finalised its header (data size 0), stopped inside the
// last tone and appended a LIST chunk: the LIST bytes are not audio.
TEST(HostileRecordings, AnUnfinalisedDataChunkEndsWhereAFollowingChunkBegins) {
    TempDir dir;
    makeSweep(dir);
    test::Bytes wav = test::readFileBytes(dir.file("s.wav"));
    // The tail and 60 block samples: past the margin the clock-corrected
    // analysis leaves before the next tone, so that both walks miss the end.
    const std::size_t lost = 2u * static_cast<std::size_t>(lastTail(dir) + 60);
    wav.resize(wav.size() - lost);
    storeU32(wav, 40, 0);
    storeU32(wav, 4, 36);
    test::Bytes info;
    test::appendText(info, "INFOISFT");
    test::appendU32(info, 14);
    test::appendText(info, "a recorder 1.0");
    test::appendText(wav, "LIST");
    test::appendU32(wav, static_cast<std::uint32_t>(info.size()));
    wav.insert(wav.end(), info.begin(), info.end());
    test::writeFileBytes(dir.file("list.wav"), wav);
    for (const auto& mode : kBothModes) {
        const ProgramRun run = test::auralyn(dir, analyzeArgs("list.wav", mode));
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_NE(run.err.find("list.wav: the recording ended before the sweep did; 1 of 3 tones"), std::string::npos)
            << run.err;
    }
    // Without the LIST chunk the samples still run to the file's end.
    wav.resize(wav.size() - 8 - info.size());
    test::writeFileBytes(dir.file("plain.wav"), wav);
    EXPECT_EQ(test::auralyn(dir, analyzeArgs("plain.wav", {})).exitCode, 1);
}

// An offset that lifts the silence above the sync threshold would make the
// first sample of the lead-in a pulse.
TEST(HostileRecordings, ADCOffsetAboveTheSyncThresholdIsRefusedInBothModes) {
    TempDir dir;
    const ProgramRun made = test::auralyn(
        dir, {"sweep", "-q", "-o", "s.wav", "--rate", "96000", "--start", "1000", "--end", "4000", "--step", "1"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::vector<std::int16_t> samples = test::readWaveSamples(dir.file("s.wav"));
    for (std::int16_t& sample : samples) sample = static_cast<std::int16_t>(sample * 0.5 + 16000);
    test::writeFileBytes(dir.file("dc.wav"), test::waveBytes(samples, 96000));
    expectRefusedInBothModes(dir, "dc.wav",
                             "dc.wav: channel 1 rests at a DC offset of 16000, beyond the sync threshold (4915)");
}

TEST(FailedRuns, EveryOutputsFolderIsCheckedBeforeAnyIsWritten) {
    TempDir dir;
    makeSweep(dir);
    const ProgramRun run = test::auralyn(dir, {"analyze", "s.wav", "s.swp", "-o", "ok.txt", "--csv", "nodir/x.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "auralyn: nodir/x.csv: its folder nodir does not exist; nothing was written\n");
    EXPECT_FALSE(test::exists(dir, "ok.txt"));
    EXPECT_EQ(run.out, "");
}

TEST(FailedRuns, OutputsOfAFailedRunSayThatItFailed) {
    TempDir dir;
    makeSweep(dir);
    const ProgramRun good = test::auralyn(dir, analyzeArgs("s.wav", {}));
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(nlohmann::json::parse(test::readFileText(dir.file("r.json")))["status"], "ok");
    EXPECT_EQ(firstLine(test::readFileText(dir.file("r.csv"))).rfind("frequency_hz,", 0), 0u);
    EXPECT_EQ(firstLine(test::readFileText(dir.file("r.txt"))), "Input file, \"s.wav\"");

    test::Bytes wav = test::readFileBytes(dir.file("s.wav"));
    wav.resize(wav.size() - 2u * static_cast<std::size_t>(lastTail(dir) + 100));
    storeU32(wav, 40, static_cast<std::uint32_t>(wav.size() - 44));
    storeU32(wav, 4, static_cast<std::uint32_t>(wav.size() - 8));
    test::writeFileBytes(dir.file("short.wav"), wav);
    for (const auto& mode : kBothModes) {
        const ProgramRun run = test::auralyn(dir, analyzeArgs("short.wav", mode));
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(nlohmann::json::parse(test::readFileText(dir.file("r.json")))["status"], "recording_ended");
        EXPECT_EQ(firstLine(test::readFileText(dir.file("r.csv"))), "# failed: recording_ended");
        EXPECT_EQ(firstLine(test::readFileText(dir.file("r.txt"))), "# failed: recording_ended");
    }
    const ProgramRun plot = test::auralyn(dir, {"plot", "r.csv"});
    EXPECT_EQ(plot.exitCode, 1);
    EXPECT_EQ(plot.err, "auralyn: r.csv: the measurement failed (recording_ended); it is not drawn\n");
}

TEST(FailedRuns, ADeadReferenceChannelIsAnErrorThatNamesIt) {
    TempDir dir;
    makeSweep(dir);
    const std::vector<std::int16_t> mono = test::readWaveSamples(dir.file("s.wav"));
    std::vector<std::int16_t> stereo;
    for (const std::int16_t sample : mono) stereo.insert(stereo.end(), {sample, 0});
    test::writeFileBytes(dir.file("dead.wav"), test::waveBytes(stereo, 48000, 2));
    for (std::size_t n = 1; n < stereo.size(); n += 2) stereo[n] = static_cast<std::int16_t>(n % 7 - 3);  // hiss only
    test::writeFileBytes(dir.file("hiss.wav"), test::waveBytes(stereo, 48000, 2));
    for (const char* name : {"dead.wav", "hiss.wav"}) {
        const ProgramRun run =
            test::auralyn(dir, {"analyze", name, "s.swp", "--channel", "1", "--reference-channel", "2", "--json", "r.json"});
        EXPECT_EQ(run.exitCode, 1) << name;
        EXPECT_NE(run.err.find(std::string(name) + ": the reference channel 2 "), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(test::exists(dir, "r.json"));
    }
}

TEST(HostileSweeps, AToneAtHalfTheSamplingRateIsRefused) {
    TempDir dir;
    const ProgramRun run = test::auralyn(
        dir, {"sweep", "-q", "-o", "n.wav", "--rate", "8000", "--start", "1000", "--end", "4000", "--step", "1000"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("The tone at 4000 Hz lies at half the sampling rate (8000 Hz)"), std::string::npos)
        << run.err;
    EXPECT_EQ(test::fileCount(dir), 0u);
}

// With settling 0 and drift 0 the block of whole cycles loses its last sample
// to what follows (its tail is -1). echoprobe and analyze's walk measure the
// samples that are the tone's, and nothing else.
TEST(HostileSweeps, ABlockThatLosesItsLastSampleReadsTheTrueTone) {
    TempDir dir;
    const ProgramRun made = test::auralyn(dir, {"sweep", "-q", "-o", "s.wav", "--rate", "44100", "--start", "7350",
                                                "--end", "7350", "--settling", "0", "--max-drift", "0",
                                                "--min-duration", "0"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_EQ(lastTail(dir), -1);
    const ProgramRun probe = test::echoprobe(dir, "s.wav", "s.swp", "e.txt");
    ASSERT_EQ(probe.exitCode, 0) << probe.out;
    std::istringstream report(test::readFileText(dir.file("e.txt")));
    std::string line;
    while (std::getline(report, line) && line.rfind("Frequency, Amplitude", 0) != 0) {
    }
    ASSERT_TRUE(std::getline(report, line));
    double frequency = 0, amplitude = 0, normalised = 0, db = 0, phase = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf, %lf, %lf, %lf, %lf", &frequency, &amplitude, &normalised, &db, &phase), 5)
        << line;
    EXPECT_EQ(frequency, 7350.0);
    EXPECT_NEAR(amplitude, 32767.0, 1.0);  // the correlation over 59 samples read 32752.3
    EXPECT_NEAR(phase, 0.0, 0.01);         // and 0.85 degrees
    const ProgramRun walk = test::auralyn(dir, {"analyze", "s.wav", "s.swp", "--clock-correction", "off", "-o", "a.txt"});
    ASSERT_EQ(walk.exitCode, 0) << walk.err;
    EXPECT_EQ(test::readFileText(dir.file("a.txt")), test::readFileText(dir.file("e.txt")));
}

TEST(HostileSweeps, AnotherSweepsParameterFileIsNoMeasurementWithoutTheClockCorrection) {
    TempDir dir;
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "a.wav", "--start", "100", "--end", "10000", "--step", "3"})
                  .exitCode,
              0);
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "b.wav", "--start", "200", "--end", "12000", "--step", "4",
                                  "--settling", "0.02"})
                  .exitCode,
              0);
    const ProgramRun run =
        test::auralyn(dir, {"analyze", "a.wav", "b.swp", "--clock-correction", "off", "--json", "w.json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("a.wav: the tones are not where the sweep's plan puts them"), std::string::npos) << run.err;
    EXPECT_EQ(nlohmann::json::parse(test::readFileText(dir.file("w.json")))["status"], "tones_disagree_with_plan");
    EXPECT_EQ(test::auralyn(dir, {"analyze", "a.wav", "a.swp", "--clock-correction", "off", "--json", "r.json"})
                  .exitCode,
              0);
}

// No settling, no drift allowance, a pulse every two tones: nothing of a tone
// follows its block, and the next sample may be a pulse's. Every block stays
// inside its tone with the clock correction, as without it.
TEST(HostileSweeps, ALayoutWithoutMarginsKeepsEveryBlockInsideItsTone) {
    TempDir dir;
    ASSERT_EQ(test::auralyn(dir, {"sweep", "-q", "-o", "g.wav", "--start", "2", "--end", "20000", "--step", "1",
                                  "--settling", "0", "--max-drift", "0", "--min-duration", "0", "--tones-per-sync", "2"})
                  .exitCode,
              0);
    const ProgramRun run = test::auralyn(dir, {"analyze", "g.wav", "g.swp", "--json", "g.json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json tones = nlohmann::json::parse(test::readFileText(dir.file("g.json")))["tones"];
    ASSERT_EQ(tones.size(), 14u);
    for (const auto& tone : tones) {
        const double hz = tone["frequency_hz"];
        EXPECT_LT(tone["thdn_db"].get<double>(), -90.0) << hz;  // a pulse's sample made -17.8 dB at 4096 Hz
        if (hz < 64) continue;  // ten cycles below 64 Hz are another story
        EXPECT_NEAR(tone["phase_deg"].get<double>(), 0.0, 0.1) << hz;
        EXPECT_NEAR(tone["magnitude_db"].get<double>(), 0.0, 0.001) << hz;
    }
}

// CSV tables that no analysis writes: each is refused with the tone named, never drawn.
TEST(HostilePlots, AbsurdNumbersAreRefused) {
    TempDir dir;
    const std::string columns = "frequency_hz,amplitude,magnitude_db,phase_deg\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"100,1,0,0\n1.5e308,1,0,0\n", "tone 2: its frequency, 1.5e+308 Hz, is not a sweep's"},
        {"100,1,1e308,0\n200,1,-1e308,0\n", "tone 1: its magnitude, 1e+308 dB, lies beyond"},
        {"1e-300,1,0,0\n1e300,1,0,0\n", "tone 1: its frequency, 1e-300 Hz, is not a sweep's"},
        {"100,1,0,1e300\n", "tone 1: its phase, 1e+300 degrees, lies beyond"},
        {"1e300,0,,\n100,1,0,0\n", "line 2: a tone's frequency lies outside what a sweep plays"},
    };
    for (const auto& [rows, message] : cases) {
        test::writeTextFile(dir.file("bad.csv"), columns + rows);
        const ProgramRun run = test::auralyn(dir, {"plot", "bad.csv", "-o", "bad.svg"});
        EXPECT_EQ(run.exitCode, 1) << rows;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_FALSE(test::exists(dir, "bad.svg"));
    }
}

TEST(HostilePlots, NamesWhatItLeftOutTruly) {
    TempDir dir;
    test::writeTextFile(dir.file("m.csv"),
                        "frequency_hz,amplitude,magnitude_db,phase_deg\n100,1,0,0\n200,1,0,nan\n300,0,,\n400,1,0,0\n");
    const ProgramRun run = test::auralyn(dir, {"plot", "m.csv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "auralyn: warning: 1 tones with an amplitude of 0 and 1 tones without a finite magnitude and "
                       "phase were left out of m.csv\n");
    const std::string svg = test::readFileText(dir.file("m.svg"));
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_NE(svg.find("1 silent tones not drawn; 1 tones without a number not drawn"), std::string::npos);
}

TEST(HostilePlots, ATableOfMoreTonesThanAPlotShowsIsRefusedBeforeItIsParsed) {
    TempDir dir;
    std::ostringstream csv;
    csv << "frequency_hz,amplitude,magnitude_db,phase_deg\n";
    for (int i = 1; i <= 100100; ++i) csv << i << ",1,0,0\n";
    test::writeTextFile(dir.file("huge.csv"), csv.str());
    const ProgramRun run = test::auralyn(dir, {"plot", "huge.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("huge.csv: holds more than 100000 tones"), std::string::npos) << run.err;
}

TEST(HostilePlots, NormalizeAtZeroHertzSaysWhy) {
    TempDir dir;
    test::writeTextFile(dir.file("m.csv"), "frequency_hz,amplitude,magnitude_db,phase_deg\n100,1,0,0\n");
    const ProgramRun run = test::auralyn(dir, {"plot", "m.csv", "--normalize", "0"});
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_NE(run.err.find("must be a frequency above 0 Hz and at most 10 MHz, not 0"), std::string::npos) << run.err;
    EXPECT_LT(run.err.size(), 200u) << run.err;
}

}  // namespace
}  // namespace auralyn
