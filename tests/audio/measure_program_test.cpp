// `auralyn measure` run as a program through a real sound server the tests
// start themselves: played into a null sink and recorded from its monitor, the
// path's response is known exactly (unity at 100 % volume, the server's cubic
// volume curve below it, its resampler's passband on a 44100 Hz sink).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pulse_server.h"
#include "run_program.h"
#include "terminal_stderr.h"
#include "test_files.h"

extern char** environ;

namespace auralyn::audio {
namespace {

using testing::PulseServer;
using test::ProgramRun;
using test::TempDir;
using test::filesIn;
using test::joined;

// Octave 100 Hz to 16 kHz at 3 tones per octave: 22 tones in a few seconds.
const std::vector<std::string> kShortSweep{"--start", "100", "--end", "16000", "--step", "3", "--settling", "0.005"};
constexpr std::size_t kShortSweepTones = 22;

struct Tone {
    double frequency = 0.0;
    double magnitudeDb = 0.0;
    double phaseDeg = 0.0;
};

// frequency_hz,amplitude,magnitude_db,phase_deg[,...]
std::vector<Tone> readCsv(const std::string& path) {
    std::istringstream text(test::readFileText(path));
    std::string line;
    std::getline(text, line);
    std::vector<Tone> tones;
    while (std::getline(text, line)) {
        std::vector<double> fields;
        std::istringstream row(line);
        std::string field;
        while (std::getline(row, field, ',')) fields.push_back(std::strtod(field.c_str(), nullptr));
        if (fields.size() >= 4) tones.push_back({fields[0], fields[2], fields[3]});
    }
    return tones;
}

struct WaveFacts {
    bool valid = false;
    int channels = 0;
    std::uint32_t rate = 0;
    int bits = 0;
    std::uint64_t frames = 0;
};

// A complete canonical 16-bit PCM WAV file: the sizes in its header are the file's.
WaveFacts readWave(const std::string& path) {
    WaveFacts facts;
    if (!std::filesystem::exists(path)) return facts;
    const test::Bytes bytes = test::readFileBytes(path);
    if (bytes.size() < 44) return facts;
    const std::string riff(bytes.begin(), bytes.begin() + 4);
    const std::string wave(bytes.begin() + 8, bytes.begin() + 12);
    const std::string data(bytes.begin() + 36, bytes.begin() + 40);
    facts.channels = test::loadU16(bytes, 22);
    facts.rate = test::loadU32(bytes, 24);
    facts.bits = test::loadU16(bytes, 34);
    const std::uint32_t dataSize = test::loadU32(bytes, 40);
    facts.valid = riff == "RIFF" && wave == "WAVE" && data == "data" && test::loadU16(bytes, 20) == 1 &&
                  test::loadU32(bytes, 4) == bytes.size() - 8 && dataSize == bytes.size() - 44 && facts.channels > 0 &&
                  dataSize % (2u * facts.channels) == 0;
    facts.frames = facts.channels > 0 ? dataSize / (2u * facts.channels) : 0;
    return facts;
}

// Each run gets a folder of its own, which is also its temporary folder, so
// that the measure command's scratch folder is seen to go.
class MeasureProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new PulseServer;
        if (!server_->start()) reason_ = server_->failure();
    }
    static void TearDownTestSuite() {
        delete server_;  // stops the server by its process id
        server_ = nullptr;
    }
    void SetUp() override {
        if (!server_->running()) GTEST_SKIP() << "no sound server for the measure tests: " << reason_;
        ASSERT_TRUE(server_->useSink(PulseServer::kSink48k));
        ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "100%"));
        std::filesystem::create_directory(dir_.path() / "tmp");
        setenv("TMPDIR", (dir_.path() / "tmp").c_str(), 1);
    }
    void TearDown() override { unsetenv("TMPDIR"); }

    ProgramRun measure(const std::vector<std::string>& args) {
        return test::runProgram(AURALYN_PATH, joined({"measure"}, args), "", dir_.path().string());
    }
    // What the run left behind, the temporary folder aside; which must be empty.
    std::vector<std::string> leftFiles() {
        EXPECT_TRUE(filesIn(dir_.path() / "tmp").empty()) << "the scratch folder was not removed";
        std::vector<std::string> names = filesIn(dir_.path());
        std::erase(names, "tmp");
        return names;
    }

    TempDir dir_;
    static inline PulseServer* server_ = nullptr;
    static inline std::string reason_;
};

TEST_F(MeasureProgram, LoopbackAtFullVolumeIsUnityOnEveryToneAndKeepsAValidRecording) {
    const ProgramRun run =
        measure(joined(kShortSweep, {"--bits", "16", "--csv", "loop.csv", "--keep-recording", "rec.wav"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Tone> tones = readCsv(dir_.file("loop.csv"));
    ASSERT_EQ(tones.size(), kShortSweepTones) << run.out;
    for (const Tone& tone : tones) {
        EXPECT_NEAR(tone.magnitudeDb, 0.0, 0.01) << tone.frequency << " Hz";
        EXPECT_NEAR(tone.phaseDeg, 0.0, 0.1) << tone.frequency << " Hz";
    }
    const WaveFacts wave = readWave(dir_.file("rec.wav"));
    EXPECT_TRUE(wave.valid);
    EXPECT_EQ(wave.channels, 1);
    EXPECT_EQ(wave.rate, 48000u);
    EXPECT_EQ(wave.bits, 16);
    EXPECT_NE(run.out.find("Wrote loop.csv, rec.wav"), std::string::npos) << run.out;
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"loop.csv", "rec.wav"}));
}

// Played 20 dB down, sync pulse and all: the pulse is still found and the
// magnitudes stay the loopback's unity gain.
TEST_F(MeasureProgram, LevelPlaysBelowFullScaleAndKeepsTheGain) {
    const ProgramRun run = measure(joined(kShortSweep, {"--level", "-20", "--csv", "low.csv", "--keep-recording", "rec.wav"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Playing at -20.00 dBFS"), std::string::npos) << run.out;
    const std::vector<Tone> tones = readCsv(dir_.file("low.csv"));
    ASSERT_EQ(tones.size(), kShortSweepTones) << run.out;
    for (const Tone& tone : tones) EXPECT_NEAR(tone.magnitudeDb, 0.0, 0.02) << tone.frequency << " Hz";
}

TEST_F(MeasureProgram, OnATerminalShowsTheBarTheMeterAndTheSummary) {
    int exitCode = -1;
    const std::string screen = test::runWithTerminalStderr(AURALYN_PATH, joined({"measure"}, joined(kShortSweep,
                                                           {"--csv", "t.csv"})), dir_.path().string(), exitCode);
    EXPECT_EQ(exitCode, 0) << screen;
    EXPECT_NE(screen.find("s left  input"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" 0.0 dBFS"), std::string::npos) << "the meter never showed the full-scale sweep";
    EXPECT_NE(screen.find("100%"), std::string::npos) << screen;
}

TEST_F(MeasureProgram, WithoutOutputsTheReportGoesToMeasurementTxtHere) {
    const ProgramRun run = measure(joined(kShortSweep, {"--quiet"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"measurement.txt"}));
    EXPECT_NE(run.out.find("Tones measured: 22 of 22"), std::string::npos) << run.out;
}

// Every output option at once: each file is written and holds what it says.
TEST_F(MeasureProgram, WritesEveryOutputItWasAskedFor) {
    const ProgramRun run = measure(joined(kShortSweep, {"-q", "-o", "r.txt", "--csv", "c.csv", "--json", "j.json",
                                                        "--plot", "p.svg", "--keep-recording", "k.wav"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Wrote r.txt, c.csv, j.json, p.svg, k.wav"), std::string::npos) << run.out;
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"c.csv", "j.json", "k.wav", "p.svg", "r.txt"}));
    EXPECT_EQ(test::readFileText(dir_.file("r.txt")).rfind("Input file, \"k.wav\"", 0), 0u);
    EXPECT_EQ(readCsv(dir_.file("c.csv")).size(), kShortSweepTones);
    EXPECT_NE(test::readFileText(dir_.file("j.json")).find("\"status\": \"ok\""), std::string::npos);
    const std::string svg = test::readFileText(dir_.file("p.svg"));
    std::size_t points = 0;
    for (std::size_t at = svg.find("class=\"magnitude-point\""); at != std::string::npos;
         at = svg.find("class=\"magnitude-point\"", at + 1))
        ++points;
    EXPECT_EQ(points, kShortSweepTones);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
}

TEST_F(MeasureProgram, APlotAloneComesWithTheReport) {
    const ProgramRun run = measure(joined(kShortSweep, {"-q", "--plot", "p.svg"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"measurement.txt", "p.svg"}));
    EXPECT_NE(run.out.find("Wrote measurement.txt, p.svg"), std::string::npos) << run.out;
}

TEST_F(MeasureProgram, SinkVolumeAt70PercentMeasuresTheServersCubicCurve) {
    ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "70%"));
    const long volume = server_->sinkVolume(PulseServer::kSink48k);
    ASSERT_GT(volume, 0);
    const double expectedDb = 60.0 * std::log10(volume / 65536.0);
    const ProgramRun run = measure(joined(kShortSweep, {"--csv", "v70.csv"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Tone> tones = readCsv(dir_.file("v70.csv"));
    ASSERT_EQ(tones.size(), kShortSweepTones);
    for (const Tone& tone : tones) {
        EXPECT_NEAR(tone.magnitudeDb, expectedDb, 0.01) << tone.frequency << " Hz, volume " << volume;
        EXPECT_NEAR(tone.phaseDeg, 0.0, 0.1) << tone.frequency << " Hz";
    }
}

// measure --impedance live: the sink's left channel (the "driver's") at
// 70 %, its right (the drive) at 100 %, so the two channels differ by the
// server's cubic volume curve g, which the wiring reads as a resistor of
// Rs g / (1 - g) at every tone.
TEST_F(MeasureProgram, ImpedanceOfTheServersVolumeDividerIsAResistor) {
    ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "70% 100%"));
    const long volume = server_->sinkVolume(PulseServer::kSink48k);
    ASSERT_GT(volume, 0);
    const double g = std::pow(volume / 65536.0, 3.0);
    const double ohms = 10.0 * g / (1.0 - g);
    const ProgramRun run = measure(joined(kShortSweep, {"--impedance", "--sense-resistor", "10", "--output-channels", "LR",
                                                        "--input-channel", "1", "--reference-channel", "2", "--csv",
                                                        "z.csv", "-q"}));
    ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
    std::istringstream text(test::readFileText(dir_.file("z.csv")));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line.rfind("frequency_hz,impedance_ohm,impedance_phase_deg,", 0), 0u) << line;
    std::size_t tones = 0;
    while (std::getline(text, line)) {
        double f = 0, z = 0, degrees = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &f, &z, &degrees), 3) << line;
        EXPECT_NEAR(z / ohms, 1.0, 0.005) << f << " Hz";
        EXPECT_NEAR(degrees, 0.0, 0.5) << f << " Hz";
        ++tones;
    }
    EXPECT_EQ(tones, kShortSweepTones);
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"z.csv"}));
}

TEST_F(MeasureProgram, ResamplingSinkLosesNoToneAndHasASmoothResponse) {
    ASSERT_TRUE(server_->useSink(PulseServer::kSink44k));
    // A stream the server resamples can run dry through ALSA's plugin (the
    // session asks for a longer buffer against it); the run must then refuse the
    // recording (exit 1, no report), and an attempt must measure the resampler.
    ProgramRun run;
    for (int attempt = 0; attempt < 12; ++attempt) {
        run = measure(joined(kShortSweep, {"--csv", "r44.csv"}));
        if (run.exitCode == 0) break;
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("auralyn: the output ran dry while playing the sweep"), std::string::npos) << run.err;
        EXPECT_TRUE(leftFiles().empty()) << "a failed session left a report";
    }
    ASSERT_EQ(run.exitCode, 0) << "no attempt of twelve played through the resampling sink without a gap: " << run.err;
    const std::vector<Tone> tones = readCsv(dir_.file("r44.csv"));
    ASSERT_EQ(tones.size(), kShortSweepTones) << run.out;
    for (std::size_t k = 0; k < tones.size(); ++k) {
        EXPECT_NEAR(tones[k].magnitudeDb, 0.0, 0.1) << tones[k].frequency << " Hz: outside the passband";
        if (k > 0) {
            EXPECT_NEAR(tones[k].magnitudeDb, tones[k - 1].magnitudeDb, 0.05) << tones[k].frequency << " Hz: a step";
        }
    }
    // The session plays and records at 48000 Hz; a sink still at 44100 Hz
    // after it means the server resampled both ways. (The resampler's delay
    // no longer shows in the phase: the start is taken from the tones.)
    const std::string sinks = server_->output("pactl list short sinks");
    const std::size_t line = sinks.find(PulseServer::kSink44k);
    ASSERT_NE(line, std::string::npos) << sinks;
    EXPECT_NE(sinks.substr(line, sinks.find('\n', line) - line).find("44100Hz"), std::string::npos)
        << "the sink did not resample: " << sinks;
}

TEST_F(MeasureProgram, AnInputTooQuietForTheSyncPulseIsRefusedBeforeAnalysis) {
    ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "30%"));
    const ProgramRun run = measure(joined(kShortSweep, {"--csv", "quiet.csv"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("auralyn: the recording peaks at"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("sync pulse"), std::string::npos) << run.err;
    EXPECT_TRUE(leftFiles().empty());
}

TEST_F(MeasureProgram, ADeviceThatDoesNotExistEndsWithExitOneAndNoFiles) {
    const ProgramRun output = measure(joined(kShortSweep, {"--output-device", "no-such-device"}));
    EXPECT_EQ(output.exitCode, 1);
    EXPECT_NE(output.err.find("auralyn: there is no output device \"no-such-device\""), std::string::npos)
        << output.err;
    const ProgramRun input = measure(joined(kShortSweep, {"--input-device", "no-such-device"}));
    EXPECT_EQ(input.exitCode, 1);
    EXPECT_NE(input.err.find("no-such-device"), std::string::npos) << input.err;
    EXPECT_TRUE(leftFiles().empty());
}

// The program in the background, its outputs into files, so that it can be interrupted.
pid_t spawnMeasure(const std::string& folder, const std::vector<std::string>& args) {
    std::vector<std::string> all = joined({AURALYN_PATH, "measure"}, args);
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, AURALYN_PATH, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int interruptAfter(pid_t pid, double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    kill(pid, SIGINT);
    const auto started = std::chrono::steady_clock::now();
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - started > std::chrono::seconds(5)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;  // it did not stop
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(MeasureProgram, CtrlCStopsAtOnceAndLeavesOnlyTheKeptRecordingComplete) {
    // A sweep of some twenty seconds, interrupted well inside it.
    const std::vector<std::string> longSweep{"--start", "20", "--end", "20000", "--step", "12"};
    const pid_t kept = spawnMeasure(dir_.path().string(), joined(longSweep, {"--bits", "16", "--keep-recording",
                                                                             "part.wav", "--csv", "part.csv"}));
    ASSERT_GT(kept, 0);
    EXPECT_EQ(interruptAfter(kept, 2.5), 130);
    const WaveFacts wave = readWave(dir_.file("part.wav"));
    EXPECT_TRUE(wave.valid) << "the kept recording is not a complete WAV file";
    EXPECT_EQ(wave.channels, 1);
    EXPECT_GT(wave.frames, 48000u / 2) << "the recording until the interruption is missing";
    EXPECT_EQ(leftFiles(), (std::vector<std::string>{"part.wav"}));

    std::filesystem::remove(dir_.file("part.wav"));
    const pid_t unkept = spawnMeasure(dir_.path().string(), joined(longSweep, {"--csv", "part.csv"}));
    ASSERT_GT(unkept, 0);
    EXPECT_EQ(interruptAfter(unkept, 2.5), 130);
    EXPECT_TRUE(leftFiles().empty());
}

// By default a device that takes float samples is captured deeper, kept as
// 24-bit PCM and measured through the general reader, at the same unity gain.
TEST_F(MeasureProgram, TwentyFourBitCaptureIsTheDefaultAndIsKeptAndMeasured) {
    const ProgramRun run = measure(joined(kShortSweep, {"--level", "-20", "--json", "deep.json", "--csv", "deep.csv",
                                                        "--keep-recording", "rec24.wav"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("24-bit samples"), std::string::npos) << run.out;
    const std::vector<Tone> tones = readCsv(dir_.file("deep.csv"));
    ASSERT_EQ(tones.size(), kShortSweepTones) << run.out;
    for (const Tone& tone : tones) EXPECT_NEAR(tone.magnitudeDb, 0.0, 0.02) << tone.frequency << " Hz";
    const test::Bytes bytes = test::readFileBytes(dir_.file("rec24.wav"));
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(test::loadU16(bytes, 34), 24);
    EXPECT_NE(test::readFileText(dir_.file("deep.json")).find("24-bit PCM"), std::string::npos);
}

}  // namespace
}  // namespace auralyn::audio
