#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "recording/recording_file.h"
#include "run_program.h"
#include "test_files.h"

namespace auralyn::recording {
namespace {

const std::string kPython = "/usr/bin/python3";
const std::string kSox = "/usr/bin/sox";

class RecordingReadTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "python3 writes the test files";
        const auto run = test::runProgram(kPython, {AURALYN_MAKE_WAVES, dir_.path().string()}, "", dir_.path().string());
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    std::string file(const std::string& name) const { return dir_.file(name); }

    // A file made by sox from a 1 kHz sine at half of full scale.
    std::string soxSine(const std::string& name, const std::vector<std::string>& format) {
        std::vector<std::string> args = {"-D", "-n", "-r", "48000"};
        args.insert(args.end(), format.begin(), format.end());
        args.insert(args.end(), {name, "synth", "0.5", "sine", "1000", "vol", "0.5"});
        const auto run = test::runProgram(kSox, args, "", dir_.path().string());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return file(name);
    }

    test::TempDir dir_;
};

double code(std::int64_t value, int bits) { return static_cast<double>(value) / std::ldexp(1.0, bits - 1); }

TEST_F(RecordingReadTest, IntegerFilesReadAsExactFractionsOfFullScale) {
    const auto pcm16 = readRecording(file("pcm16.wav"));
    EXPECT_EQ(pcm16.format.encoding, SampleEncoding::pcm16);
    EXPECT_EQ(pcm16.format.sampleRate, 48000.0);
    EXPECT_FALSE(pcm16.format.extensible);
    EXPECT_EQ(pcm16.channels.at(0), (std::vector<double>{0.0, code(1, 16), code(-1, 16), code(32767, 16), -1.0,
                                                          code(12345, 16)}));

    const auto pcm24 = readRecording(file("pcm24.wav"));
    EXPECT_EQ(pcm24.format.encoding, SampleEncoding::pcm24);
    EXPECT_EQ(pcm24.format.channels, 2);
    EXPECT_EQ(pcm24.format.frames, 6);
    EXPECT_EQ(pcm24.channels[0], (std::vector<double>{0.0, code(1, 24), code(-1, 24), code(8388607, 24), -1.0,
                                                       code(1234567, 24)}));
    EXPECT_EQ(pcm24.channels[1], (std::vector<double>{code(5, 24), code(-5, 24), code(8388607, 24), -1.0, 0.0,
                                                       code(-7654321, 24)}));
    EXPECT_EQ(describe(pcm24.format), "24-bit PCM, 2 channels, 44100 Hz, 0.000136054 s");

    const auto pcm32 = readRecording(file("pcm32.wav"));
    EXPECT_EQ(pcm32.format.encoding, SampleEncoding::pcm32);
    EXPECT_EQ(pcm32.channels[0], (std::vector<double>{0.0, code(1, 32), code(-1, 32), code(2147483647, 32), -1.0,
                                                       code(123456789, 32)}));
}

TEST_F(RecordingReadTest, FloatFilesReadAsStoredBeyondFullScaleToo) {
    const auto floats = readRecording(file("float32.wav"));
    EXPECT_EQ(floats.format.encoding, SampleEncoding::float32);
    EXPECT_EQ(floats.channels[0], (std::vector<double>{0.0, 0.5, -0.25, 1.5, -1.0, static_cast<double>(1e-7f)}));
    const auto single = readRecordingFloat(file("float32.wav"));
    EXPECT_EQ(single.channels[0][5], 1e-7f);
}

TEST_F(RecordingReadTest, ExtensibleHeadersAndManyChannels) {
    const auto ext24 = readRecording(file("ext24.wav"));
    EXPECT_TRUE(ext24.format.extensible);
    EXPECT_EQ(ext24.format.encoding, SampleEncoding::pcm24);
    ASSERT_EQ(ext24.channels.size(), 3u);
    EXPECT_EQ(ext24.channels[2], (std::vector<double>{code(3, 24), code(-3, 24), -1.0}));
    const auto extFloat = readRecording(file("extfloat.wav"));
    EXPECT_TRUE(extFloat.format.extensible);
    EXPECT_EQ(extFloat.format.encoding, SampleEncoding::float32);
    EXPECT_EQ(extFloat.format.sampleRate, 192000.0);
    EXPECT_EQ(extFloat.channels[1], (std::vector<double>{-0.5, 2.0}));
    EXPECT_EQ(probeRecording(file("extfloat.wav")).frames, 2);
}

TEST_F(RecordingReadTest, FilesMadeBySoxInEveryEncoding) {
    if (!std::filesystem::exists(kSox)) GTEST_SKIP() << "sox is not installed";
    const struct {
        const char* name;
        std::vector<std::string> format;
        SampleEncoding encoding;
        int channels;
    } cases[] = {
        {"s16.wav", {"-b", "16", "-c", "1"}, SampleEncoding::pcm16, 1},
        {"s24.wav", {"-b", "24", "-c", "2"}, SampleEncoding::pcm24, 2},
        {"s32.wav", {"-b", "32", "-e", "signed-integer", "-c", "1"}, SampleEncoding::pcm32, 1},
        {"f32.wav", {"-b", "32", "-e", "floating-point", "-c", "2"}, SampleEncoding::float32, 2},
        {"s24x6.wav", {"-b", "24", "-c", "6"}, SampleEncoding::pcm24, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto recording = readRecording(soxSine(c.name, c.format));
        EXPECT_EQ(recording.format.encoding, c.encoding);
        ASSERT_EQ(recording.format.channels, c.channels);
        EXPECT_EQ(recording.format.frames, 24000);
        for (const auto& channel : recording.channels) {
            const double peak = std::abs(*std::max_element(channel.begin(), channel.end(),
                                                           [](double a, double b) { return std::abs(a) < std::abs(b); }));
            EXPECT_NEAR(peak, 0.5, 1e-4);
        }
    }
}

TEST_F(RecordingReadTest, BrokenAndUnusualFilesAreRefusedWithTheirName) {
    std::vector<std::pair<std::string, std::string>> cases = {
        {"nan.wav", "not a finite number"},  {"nochannels.wav", ""}, {"cut.wav", ""},
        {"text.wav", ""},                    {"empty.wav", ""},      {"missing.wav", ""},
    };
    if (std::filesystem::exists(kSox)) {
        const auto run = test::runProgram(kSox, {"-n", "-r", "8000", "-e", "ima-adpcm", "adpcm.wav", "synth", "0.1", "sine", "440"},
                                          "", dir_.path().string());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        cases.emplace_back("adpcm.wav", "compressed");
    }
    for (const auto& [name, messagePart] : cases) {
        SCOPED_TRACE(name);
        try {
            readRecording(file(name));
            ADD_FAILURE() << "accepted";
        } catch (const RecordingError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(file(name) + ": ", 0), 0u) << message;
            EXPECT_NE(message.find(messagePart), std::string::npos) << message;
        }
    }
}

}  // namespace
}  // namespace auralyn::recording
