#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "calibration/calibrator_tone.h"
#include "calibration/tone_conversion.h"

namespace auralyn::calibration {
namespace {

struct TestTone {
    double frequencyHz = 1000.0;
    double levelDbfs = -26.3;
};

// Tones with white noise at noiseDbfs RMS, quantised to `bits` as a file of
// that resolution would hold them.
std::vector<double> recording(std::vector<TestTone> tones, double seconds, double rate = 48000.0,
                              double noiseDbfs = -90.0, int bits = 24, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, std::pow(10.0, noiseDbfs / 20.0));
    const double step = std::ldexp(1.0, -(bits - 1));
    std::vector<double> samples(static_cast<std::size_t>(seconds * rate));
    for (std::size_t n = 0; n < samples.size(); ++n) {
        double x = noise(random);
        for (const auto& tone : tones) {
            x += std::pow(10.0, tone.levelDbfs / 20.0) *
                 std::sin(2.0 * std::numbers::pi * tone.frequencyHz * static_cast<double>(n) / rate + 0.3);
        }
        samples[n] = std::round(x / step) * step;
    }
    return samples;
}

TEST(CalibratorTone, FindsFrequencyAndLevel) {
    for (const TestTone tone : {TestTone{1000.0, -26.3}, TestTone{997.31, -41.7}, TestTone{250.0, -12.05}}) {
        SCOPED_TRACE(tone.frequencyHz);
        const auto result = analyzeCalibratorTone(recording({tone, {2.0 * tone.frequencyHz, tone.levelDbfs - 50}}, 3.0), 48000.0);
        ASSERT_TRUE(result.tone) << result.refusal;
        EXPECT_NEAR(result.tone->frequencyHz, tone.frequencyHz, 0.001);
        EXPECT_NEAR(result.tone->levelDbfs, tone.levelDbfs, 0.002);
        EXPECT_LT(result.tone->levelSpreadDb, 0.05);
        EXPECT_LT(result.tone->levelStandardDb, 0.005);
        EXPECT_GT(result.tone->toneToRestDb, 40.0);
    }
}

TEST(CalibratorTone, KnownDbfsGivesTheRightSpl) {
    // The calibrator at 94 dB SPL reads -31.84 dBFS; a tone 12.5 dB stronger
    // at the same input is 106.5 dB SPL.
    const auto reading = analyzeCalibratorTone(recording({{1000.0, -31.84}}, 2.0, 44100.0, -85.0, 16), 44100.0);
    ASSERT_TRUE(reading.tone) << reading.refusal;
    InputCalibration input;
    input.dbfsAt94DbSpl = reading.tone->levelDbfs;
    input.frequencyHz = reading.tone->frequencyHz;
    CalibrationChain chain;
    chain.input = input;
    const auto tone = calibrateTone(chain, {1000.0, -31.84 + 12.5, std::nullopt, 0.05});
    ASSERT_TRUE(tone.splDb);
    EXPECT_NEAR(*tone.splDb, 106.5, 0.01);
    // At 114 dB SPL the same calibration reads 20 dB higher.
    EXPECT_NEAR(*calibrateTone(chain, {1000.0, -11.84, std::nullopt, 0.05}).splDb, 114.0, 0.01);
}

TEST(CalibratorTone, RefusesWhatIsNoSteadySingleTone) {
    std::vector<double> clipped = recording({{1000.0, 1.5}}, 1.0);
    for (double& x : clipped) x = std::clamp(x, -1.0, 1.0);
    std::vector<double> ramp = recording({{1000.0, -20.0}}, 2.0);
    for (std::size_t n = 0; n < ramp.size(); ++n) ramp[n] *= std::pow(10.0, (static_cast<double>(n) / ramp.size()) / 20.0);
    std::vector<double> withNan = recording({{1000.0, -20.0}}, 1.0);
    withNan[100] = std::nan("");
    const struct {
        const char* name;
        std::vector<double> samples;
        const char* reasonPart;
    } cases[] = {
        {"clipped", clipped, "clips"},
        {"not a number", withNan, "clips"},
        {"silent", std::vector<double>(48000, 0.0), "silent"},
        {"too short", recording({{1000.0, -20.0}}, 0.2), "too short"},
        {"two tones", recording({{1000.0, -20.0}, {250.0, -26.0}}, 2.0), "two tones"},
        {"noise", recording({}, 2.0, 48000.0, -30.0), "no single tone dominates"},
        {"tone in loud noise", recording({{1000.0, -30.0}}, 2.0, 48000.0, -45.0), "no single tone dominates"},
        {"level rises 1 dB", ramp, "not a steady tone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = analyzeCalibratorTone(c.samples, 48000.0);
        EXPECT_FALSE(result.tone);
        EXPECT_NE(result.refusal.find(c.reasonPart), std::string::npos) << result.refusal;
    }
    EXPECT_FALSE(analyzeCalibratorTone(recording({{1000.0, -20.0}}, 1.0), 0.0).tone);
}

}  // namespace
}  // namespace auralyn::calibration
