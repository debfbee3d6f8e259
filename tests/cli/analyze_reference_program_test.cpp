// auralyn analyze on a two-channel recording, the device on one channel and a
// loopback wire on the other: the device against its reference, as the
// simulator's exact response gives it, and the channel options it refuses.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "program_runs.h"
#include "simulated_analyses.h"
#include "sweep_recording.h"
#include "wave/wave_file.h"

namespace auralyn::test::simulated {
namespace {

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
    simulate(dir, "device.wav", joined(device, {"--delay", "40", "--clock", "30"}));
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
}  // namespace auralyn::test::simulated
