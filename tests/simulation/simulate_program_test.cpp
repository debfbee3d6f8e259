// auralyn simulate as a user runs it: files in, files out, messages and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wave_samples.h"

namespace auralyn::test {
namespace {

const std::string kAuralyn = AURALYN_PATH;

ProgramRun devicesim(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), "simulate");
    return runProgram(kAuralyn, args, "", dir.path().string());
}

std::vector<std::string> filesIn(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DevicesimProgram, HelpAndUsage) {
    TempDir dir;
    ProgramRun run = devicesim(dir, {"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Usage: auralyn simulate IN.wav OUT.wav"), std::string::npos);
    EXPECT_NE(run.out.find("--allpass F Q"), std::string::npos);
    run = devicesim(dir, {});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("Try 'auralyn simulate --help'"), std::string::npos);
}

TEST(DevicesimProgram, PerfectWireCopiesTheSamples) {
    TempDir dir;
    const std::vector<std::int16_t> samples = {0, 1, -1, 32767, -32768, 1234, -4321};
    writeWave(dir.file("in.wav"), samples, 44100);
    const ProgramRun run = devicesim(dir, {"in.wav", "out.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readFileBytes(dir.file("out.wav")), readFileBytes(dir.file("in.wav")));
    EXPECT_NE(run.out.find("out.wav: 7 samples at 44100 Hz through a perfect wire"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(DevicesimProgram, DelayGainAndPolarityOnRealSamples) {
    TempDir dir;
    writeWave(dir.file("in.wav"), {1000, -2000, 3001, 5}, 48000);
    // -6.0206 dB is a factor of 0.5 to 6 digits: 3001 -> 1500.5 rounds away from zero.
    const ProgramRun run =
        devicesim(dir, {"in.wav", "out.wav", "--delay", "2", "--gain", "-6.020599913279624", "--invert"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWaveSamples(dir.file("out.wav")), (std::vector<std::int16_t>{0, 0, -500, 1000, -1501, -3}));
    EXPECT_EQ(readWaveRate(dir.file("out.wav")), 48000u);
}

TEST(DevicesimProgram, ClippingIsCountedInAWarning) {
    TempDir dir;
    writeWave(dir.file("in.wav"), {100, 20000, -20000, 16000, 30000}, 48000);
    const ProgramRun run = devicesim(dir, {"in.wav", "out.wav", "--gain", "6.020599913279624"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: 3 samples clipped"), std::string::npos) << run.err;
    EXPECT_EQ(readWaveSamples(dir.file("out.wav")), (std::vector<std::int16_t>{200, 32767, -32768, 32000, 32767}));
}

TEST(DevicesimProgram, ClockErrorChangesTheLength) {
    TempDir dir;
    writeWave(dir.file("in.wav"), std::vector<std::int16_t>(20000, 0), 8000);
    ProgramRun run = devicesim(dir, {"in.wav", "fast.wav", "--clock", "100"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWaveSamples(dir.file("fast.wav")).size(), 20002u);
    run = devicesim(dir, {"in.wav", "slow.wav", "--clock", "-1000"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWaveSamples(dir.file("slow.wav")).size(), 19980u);
}

TEST(DevicesimProgram, BadInputLeavesNoOutputFile) {
    TempDir dir;
    writeFileBytes(dir.file("stereo.wav"), waveBytes({1, 2, 3, 4}, 48000, 2));
    writeFileBytes(dir.file("eight.wav"), waveBytes({1, 2}, 48000, 1, 8));
    Bytes cut = waveBytes(std::vector<std::int16_t>(100, 7), 48000);
    cut.resize(cut.size() - 10);
    writeFileBytes(dir.file("cut.wav"), cut);
    writeFileBytes(dir.file("text.wav"), {'h', 'e', 'l', 'l', 'o'});
    writeWave(dir.file("low.wav"), {1, 2, 3}, 8000);
    const std::vector<std::string> before = filesIn(dir);

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"missing.wav", "out.wav"}, "missing.wav: not a WAV file that can be read"},
        {{"text.wav", "out.wav"}, "text.wav: not a WAV file that can be read"},
        {{"stereo.wav", "out.wav"}, "only 16-bit mono PCM"},
        {{"eight.wav", "out.wav"}, "only 16-bit mono PCM"},
        {{"cut.wav", "out.wav"}, "cut short"},
        {{"low.wav", "out.wav", "--lowpass", "5000", "0.7"}, "below half the sampling rate (4000 Hz)"},
        {{"low.wav", "no/such/folder/out.wav"}, "cannot be written"},
    };
    for (const auto& [args, message] : cases) {
        const ProgramRun run = devicesim(dir, args);
        EXPECT_EQ(run.exitCode, 1) << args[0];
        EXPECT_EQ(run.err.rfind("auralyn: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(filesIn(dir), before) << args[0];
    }
    const ProgramRun run = devicesim(dir, {"low.wav", "out.wav", "--peak", "100", "1"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.rfind("auralyn: --peak", 0), 0u) << run.err;
    EXPECT_EQ(filesIn(dir), before);
}

TEST(DevicesimProgram, AFullDiskIsAFailure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    writeWave(dir.file("in.wav"), std::vector<std::int16_t>(5000, 100), 48000);
    std::filesystem::create_symlink("/dev/full", dir.file("full.wav"));
    const ProgramRun run = devicesim(dir, {"in.wav", "full.wav", "--gain", "-3"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("auralyn: writing the output failed", 0), 0u) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("full.wav")));
    EXPECT_EQ(filesIn(dir), (std::vector<std::string>{"full.wav", "in.wav"}));
}

TEST(DevicesimProgram, OutputMayReplaceTheInput) {
    TempDir dir;
    writeWave(dir.file("take.wav"), {10, 20, 30}, 48000);
    const ProgramRun run = devicesim(dir, {"take.wav", "take.wav", "--invert"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWaveSamples(dir.file("take.wav")), (std::vector<std::int16_t>{-10, -20, -30}));
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"take.wav"});
}

TEST(DevicesimProgram, PrintsTheExactResponse) {
    TempDir dir;
    ProgramRun run = devicesim(dir, {"--response", "1000", "--rate", "44100", "--highpass", "1000", "0.5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A high-pass has |H| = Q and +90 degrees at its own frequency: 20 log10(0.5) = -6.0206.
    EXPECT_EQ(run.out, "Frequency (Hz), Magnitude (dB), Phase (deg)\n1000.0000, -6.020600, 90.000000\n");
    run = devicesim(dir, {"--response", "30000", "--lowpass", "1000", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("above half the sampling rate"), std::string::npos);

    writeTextFile(dir.file("report.txt"),
                  "Input file, \"x.wav\"\nSampling rate, 8000 Hz\nMinimum tone duration, 0.020 sec\n"
                  "Tones per sync pulse, 0\nSettling time, 0.040 sec\nMinimum cycles per tone, 10\n"
                  "Maximum fractional cycle, 1.000\nMaximum extra samples, 400\nMaximum time drift, 0.0002 sec\n"
                  "Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)\n"
                  "100.00, 1.0, 1.00000, 0.000, 0.00\n2000.00, 1.0, 1.00000, 0.000, 0.00\n");
    run = devicesim(dir, {"--response-for", "report.txt", "--delay", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "Frequency (Hz), Magnitude (dB), Phase (deg)\n100.0000, 0.000000, -4.500000\n"
              "2000.0000, 0.000000, -90.000000\n");
    run = devicesim(dir, {"--response-for", "missing.txt"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("missing.txt"), std::string::npos);
}

}  // namespace
}  // namespace auralyn::test
