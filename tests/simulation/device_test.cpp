#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <string>
#include <vector>

#include "simulation/device.h"
#include "simulation/device_options.h"
#include "simulation/device_processor.h"
#include "simulation/gaussian_noise.h"
#include "simulation/response_table.h"
#include "simulation/sample_output.h"

namespace auralyn::simulation {
namespace {

double phaseDeg(std::complex<double> h) { return std::arg(h) * 180.0 / std::numbers::pi; }

TEST(DeviceResponse, MultipliesThePartsInOrder) {
    Device delay{{DelayPart{3}}};
    // 3 samples at 1000 Hz and 48 kHz: 3/48 of a cycle.
    EXPECT_NEAR(phaseDeg(deviceResponse(delay, 1000.0, 48000.0)), -22.5, 1e-9);
    Device gain{{GainPart{-6.0}}};
    EXPECT_NEAR(20.0 * std::log10(std::abs(deviceResponse(gain, 5000.0, 48000.0))), -6.0, 1e-12);
    Device inverted{{InvertPart{}}};
    EXPECT_NEAR(std::fabs(phaseDeg(deviceResponse(inverted, 100.0, 44100.0))), 180.0, 1e-12);
    Device silentParts{{NoisePart{-40.0, 1}, ClockPart{50.0}}};
    EXPECT_EQ(deviceResponse(silentParts, 100.0, 44100.0), std::complex<double>(1.0));

    Device chain{{GainPart{-6.0}, FilterSettings{FilterKind::LowPass, 1000.0, 0.7071067811865476, 0.0}, DelayPart{2},
                  InvertPart{}}};
    const std::complex<double> h = deviceResponse(chain, 1000.0, 48000.0);
    EXPECT_NEAR(20.0 * std::log10(std::abs(h)), -6.0 - 3.0103, 1e-4);
    EXPECT_NEAR(phaseDeg(h), -90.0 - 15.0 + 180.0, 1e-9);
}

TEST(DeviceCheck, FiltersMustLieBelowHalfTheRate) {
    Device device{{FilterSettings{FilterKind::Peak, 5000.0, 1.0, 3.0}}};
    EXPECT_EQ(checkDevice(device, 44100.0), "");
    const std::string problem = checkDevice(device, 8000.0);
    EXPECT_NE(problem.find("5000 Hz"), std::string::npos) << problem;
    EXPECT_NE(problem.find("4000 Hz"), std::string::npos) << problem;
}

TEST(ResponseTable, PrintsMagnitudeAndWrappedPhase) {
    Device device{{FilterSettings{FilterKind::LowPass, 1000.0, 0.7071067811865476, 0.0}, DelayPart{2}}};
    EXPECT_EQ(responseTable(device, {1000.0, 24000.0}, 48000.0),
              "Frequency (Hz), Magnitude (dB), Phase (deg)\n"
              "1000.0000, -3.010300, -105.000000\n"
              "24000.0000, -Inf, 0.000000\n");
    Device inverted{{InvertPart{}}};
    EXPECT_EQ(responseTable(inverted, {50.0}, 48000.0),
              "Frequency (Hz), Magnitude (dB), Phase (deg)\n50.0000, 0.000000, 180.000000\n");
}

Options parse(const std::vector<std::string>& args, std::string* error = nullptr) {
    Options options;
    std::string message;
    const bool ok = parseOptions(args, options, message);
    if (error) *error = ok ? "" : message;
    if (!ok) options.mode = Mode::Help;
    return options;
}

TEST(DeviceOptions, PartsKeepTheOrderOfTheCommandLine) {
    const Options options = parse({"in.wav", "--highpass", "60", "0.7", "out.wav", "--peak", "3000", "1.5", "-3",
                                   "--delay", "4", "--noise", "-80", "7", "--clock", "-50", "--invert", "--gain",
                                   "-6"});
    ASSERT_EQ(options.mode, Mode::Process);
    EXPECT_EQ(options.inputPath, "in.wav");
    EXPECT_EQ(options.outputPath, "out.wav");
    ASSERT_EQ(options.device.parts.size(), 7u);
    EXPECT_EQ(std::get<FilterSettings>(options.device.parts[0]).kind, FilterKind::HighPass);
    EXPECT_EQ(std::get<FilterSettings>(options.device.parts[1]).gainDb, -3.0);
    EXPECT_EQ(std::get<DelayPart>(options.device.parts[2]).samples, 4);
    EXPECT_EQ(std::get<NoisePart>(options.device.parts[3]).seed, 7u);
    EXPECT_EQ(std::get<ClockPart>(options.device.parts[4]).ppm, -50.0);
    EXPECT_TRUE(std::holds_alternative<InvertPart>(options.device.parts[5]));
    EXPECT_EQ(std::get<GainPart>(options.device.parts[6]).db, -6.0);
    EXPECT_EQ(describeDevice(options.device),
              "high-pass 60 Hz Q 0.7, peak 3000 Hz Q 1.5 -3 dB, delay 4 samples, noise -80 dBFS seed 7, "
              "clock -50 ppm, inverted polarity, gain -6 dB");
}

TEST(DeviceOptions, ResponseModes) {
    Options options = parse({"--response", "100", "1e3", "--rate", "44100", "--lowpass", "1000", "0.7"});
    EXPECT_EQ(options.mode, Mode::Response);
    EXPECT_EQ(options.frequencies, (std::vector<double>{100.0, 1000.0}));
    EXPECT_EQ(options.sampleRate, 44100.0);
    EXPECT_EQ(options.device.parts.size(), 1u);
    options = parse({"--response-for", "r.txt", "--invert"});
    EXPECT_EQ(options.mode, Mode::ResponseForReport);
    EXPECT_EQ(options.reportPath, "r.txt");
    EXPECT_EQ(parse({"x", "--help"}).mode, Mode::Help);
}

TEST(DeviceOptions, RefusesIncompleteOrSenselessCommands) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "give the input and the output"},
        {{"a.wav"}, "found 1 file names"},
        {{"a.wav", "b.wav", "c.wav"}, "found 3"},
        {{"a.wav", "b.wav", "--lowpass", "1000"}, "missing Q"},
        {{"a.wav", "b.wav", "--lowpass", "1k", "1"}, "'1k' is not a number"},
        {{"a.wav", "b.wav", "--lowpass", "-5", "1"}, "must be above 0"},
        {{"a.wav", "b.wav", "--peak", "1000", "0", "3"}, "Q 0 lies outside"},
        {{"a.wav", "b.wav", "--gain", "nan"}, "is not a number"},
        {{"a.wav", "b.wav", "--delay", "-1"}, "not a whole number"},
        {{"a.wav", "b.wav", "--delay", "2.5"}, "not a whole number"},
        {{"a.wav", "b.wav", "--delay", "99999999999"}, "is above"},
        {{"a.wav", "b.wav", "--noise", "-40"}, "missing seed"},
        {{"a.wav", "b.wav", "--noise", "10", "1"}, "lies outside"},
        {{"a.wav", "b.wav", "--clock", "20000"}, "lies outside"},
        {{"a.wav", "b.wav", "--wobble"}, "unknown option '--wobble'"},
        {{"a.wav", "b.wav", "--rate", "48000"}, "--rate goes with --response"},
        {{"--response"}, "at least one frequency"},
        {{"--response", "100", "x.wav"}, "unexpected argument 'x.wav'"},
        {{"--response", "100", "--response-for", "r.txt"}, "go alone"},
        {{"--response-for"}, "missing the report"},
    };
    for (const auto& [args, expected] : cases) {
        std::string error;
        parse(args, &error);
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
    }
}

TEST(SampleQuantizer, RoundsHalfAwayFromZeroAndCountsClipping) {
    SampleQuantizer quantizer;
    EXPECT_EQ(quantizer.toSample(2.5), 3);
    EXPECT_EQ(quantizer.toSample(-2.5), -3);
    EXPECT_EQ(quantizer.toSample(2.4999), 2);
    EXPECT_EQ(quantizer.toSample(32767.4), 32767);
    EXPECT_EQ(quantizer.toSample(-32768.4), -32768);
    EXPECT_EQ(quantizer.clippedCount(), 0u);
    EXPECT_EQ(quantizer.toSample(32767.5), 32767);
    EXPECT_EQ(quantizer.toSample(-32768.5), -32768);
    EXPECT_EQ(quantizer.toSample(1e9), 32767);
    EXPECT_EQ(quantizer.clippedCount(), 3u);
}

std::vector<double> runDevice(const Device& device, const std::vector<double>& input, std::size_t blockSize) {
    std::string error;
    std::optional<DeviceProcessor> processor = DeviceProcessor::create(device, 48000.0, error);
    EXPECT_TRUE(processor.has_value()) << error;
    std::vector<double> output;
    if (!processor) return output;
    for (std::size_t start = 0; start < input.size(); start += blockSize) {
        std::vector<double> block(input.begin() + static_cast<std::ptrdiff_t>(start),
                                  input.begin() + static_cast<std::ptrdiff_t>(std::min(input.size(), start + blockSize)));
        EXPECT_TRUE(processor->process(block, error)) << error;
        output.insert(output.end(), block.begin(), block.end());
    }
    std::vector<double> tail;
    EXPECT_TRUE(processor->finish(tail, error)) << error;
    output.insert(output.end(), tail.begin(), tail.end());
    return output;
}

TEST(DeviceProcessing, DelayPutsSilenceInFrontAndKeepsEverySample) {
    const std::vector<double> input = {1, 2, 3, 4, 5};
    EXPECT_EQ(runDevice({{DelayPart{3}, InvertPart{}}}, input, 2), (std::vector<double>{0, 0, 0, -1, -2, -3, -4, -5}));
    EXPECT_EQ(runDevice({{DelayPart{0}}}, input, 2), input);
}

TEST(DeviceProcessing, BlockSizeDoesNotChangeTheOutput) {
    std::vector<double> input(5000);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = 10000.0 * std::sin(0.01 * static_cast<double>(i * i));
    const Device device{{FilterSettings{FilterKind::Peak, 2000.0, 2.0, 6.0}, DelayPart{17}, NoisePart{-60.0, 3},
                         FilterSettings{FilterKind::HighPass, 100.0, 0.7, 0.0}}};
    const std::vector<double> whole = runDevice(device, input, input.size());
    EXPECT_EQ(whole.size(), input.size() + 17);
    EXPECT_EQ(runDevice(device, input, 333), whole);
}

TEST(NoiseLevel, RmsFollowsTheLevelAndTheSeedRepeats) {
    // -40 dBFS: 1/100 of a full-scale sine's RMS, 32767 / sqrt(2) / 100.
    EXPECT_NEAR(noiseSigmaForLevel(-40.0), 231.6977, 1e-4);
    const std::vector<double> silence(200000, 0.0);
    const std::vector<double> noise = runDevice({{NoisePart{-40.0, 42}}}, silence, 4096);
    const double sumSquares = std::inner_product(noise.begin(), noise.end(), noise.begin(), 0.0);
    const double mean = std::accumulate(noise.begin(), noise.end(), 0.0) / static_cast<double>(noise.size());
    EXPECT_NEAR(std::sqrt(sumSquares / static_cast<double>(noise.size())), 231.6977, 231.6977 * 0.01);
    EXPECT_NEAR(mean, 0.0, 231.7 * 5.0 / std::sqrt(200000.0));
    EXPECT_EQ(runDevice({{NoisePart{-40.0, 42}}}, silence, 999), noise);
    EXPECT_NE(runDevice({{NoisePart{-40.0, 43}}}, silence, 4096), noise);
}

TEST(ClockError, StretchesTheSignalByTheRatio) {
    const double rate = 48000.0;
    const double frequency = 1000.0;
    std::vector<double> input(48000);
    for (std::size_t i = 0; i < input.size(); ++i)
        input[i] = 10000.0 * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
    for (double ppm : {50.0, -50.0, 1000.0}) {
        const double ratio = 1.0 + ppm * 1e-6;
        const std::vector<double> output = runDevice({{ClockPart{ppm}}}, input, 5000);
        EXPECT_EQ(output.size(), static_cast<std::size_t>(std::llround(48000.0 * ratio))) << ppm;
        // Away from the ends the output is the same sine on the recorder's slower time base.
        double worst = 0.0;
        for (std::size_t n = 2000; n + 2000 < output.size(); ++n) {
            const double ideal =
                10000.0 * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(n) / (rate * ratio));
            worst = std::max(worst, std::fabs(output[n] - ideal));
        }
        EXPECT_LT(worst, 1.0) << ppm;  // 20-bit precision of a 10000 sine is about 0.01
    }
}

}  // namespace
}  // namespace auralyn::simulation
