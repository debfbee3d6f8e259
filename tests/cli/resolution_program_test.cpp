// auralyn analyze keeps what a 24-bit recording holds: recordings written here
// byte by byte (not by the kit's simulator), of a device 60 dB down with noise
// far below what 16 bits resolve, beside a wire carrying the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "run_program.h"
#include "test_files.h"
#include "wave_bytes.h"
#include "wave_samples.h"

namespace auralyn {
namespace {

using Json = nlohmann::json;

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

class ResolutionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(run({"sweep", "-o", "s.wav", "--step", "6", "-q"}).exitCode, 0);
        const std::vector<std::int16_t> sweep = test::readWaveSamples(dir_.file("s.wav"));
        rate_ = test::readWaveRate(dir_.file("s.wav"));
        // Half a second of silence either side; the device 60 dB down with
        // white noise at -120 dBFS (re a full-scale sine's RMS), the wire clean.
        const std::size_t pad = rate_ / 2;
        std::vector<double> wire(pad, 0.0), device(pad, 0.0);
        for (const std::int16_t s : sweep) wire.push_back(s / 32768.0);
        wire.resize(wire.size() + pad, 0.0);
        std::mt19937_64 engine(2026);
        std::normal_distribution<double> noise(0.0, std::pow(10.0, -120.0 / 20.0) / std::sqrt(2.0));
        for (std::size_t n = pad; n < wire.size(); ++n) device.push_back(wire[n] * 1e-3);
        device.resize(wire.size(), 0.0);
        for (double& s : device) s += noise(engine);
        channels_ = {device, wire};
    }

    test::ProgramRun run(const std::vector<std::string>& args) {
        return test::runProgram(AURALYN_PATH, args, "", dir_.path().string());
    }

    Json analyze(int bits) {
        const std::string name = "rec" + std::to_string(bits) + ".wav";
        test::writeFileBytes(dir_.file(name), test::pcmWave(channels_, rate_, bits));
        const auto result = run({"analyze", name, "s.swp", "--reference-channel", "2", "--json", "out.json", "-q"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return Json::parse(test::readFileText(dir_.file("out.json")));
    }

    test::TempDir dir_;
    std::uint32_t rate_ = 0;
    std::vector<std::vector<double>> channels_;
};

std::vector<double> column(const Json& json, const char* name) {
    std::vector<double> values;
    for (const auto& tone : json["tones"]) values.push_back(tone[name].get<double>());
    return values;
}

TEST_F(ResolutionTest, TwentyFourBitsLowerTheFloorBelowWhatSixteenBitsResolve) {
    const Json deep = analyze(24);
    const Json shallow = analyze(16);
    ASSERT_EQ(deep["tones"].size(), shallow["tones"].size());
    EXPECT_NE(deep["recording_format"].get<std::string>().find("24-bit"), std::string::npos);
    // 16 bits leave rounding noise at -98.1 dB re a full-scale sine; the
    // recorder's own -120 dB shows only in 24 bits: 22 dB lower.
    const double gain = median(column(deep, "snr_db")) - median(column(shallow, "snr_db"));
    EXPECT_GE(gain, 20.0);
    EXPECT_LE(gain, 25.0);
    for (const double db : column(deep, "magnitude_db")) EXPECT_NEAR(db, -60.0, 0.005);
    for (const double floor : column(deep, "noise_floor_dbfs")) EXPECT_LT(floor, -130.0);
}

}  // namespace
}  // namespace auralyn
