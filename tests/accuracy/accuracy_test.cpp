// The whole chain against devices whose response is known exactly:
// tonesmith -> auralyn simulate -> echoprobe, the report compared with the device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "measurement_chain.h"

namespace auralyn::test {
namespace {

// Where the comparison stops: below -40 dB a 16-bit tone has too few bits left
// for the targets to mean anything.
constexpr double kFloorDb = -40.0;
constexpr double kMagnitudeTargetDb = 0.01;
constexpr double kPhaseTargetDeg = 0.1;

bool programsBuilt() {
    return std::string(TONESMITH_PATH).size() > 0 && std::string(ECHOPROBE_PATH).size() > 0;
}

struct Errors {
    double worstDb = 0.0;
    double worstPhase = 0.0;
    std::size_t compared = 0;
};

Errors errorsOf(const Measurement& m, std::uint32_t rate, int offset) {
    Errors errors;
    for (const ToneComparison& tone : m.tones) {
        if (!(tone.exactDb > kFloorDb)) continue;
        ++errors.compared;
        errors.worstDb = std::max(errors.worstDb, std::fabs(tone.measuredDb - tone.exactDb));
        errors.worstPhase = std::max(errors.worstPhase, std::fabs(phaseError(tone, offset, rate)));
    }
    return errors;
}

void printTable(const char* title, const Measurement& m, std::uint32_t rate, int offset) {
    std::printf("%s (offset %d samples)\n%10s %10s %10s %10s %10s\n", title, offset, "Hz", "exact dB", "error dB",
                "exact deg", "error deg");
    for (const ToneComparison& tone : m.tones) {
        std::printf("%10.2f %10.4f %10.4f %10.3f %10.4f\n", tone.frequency, tone.exactDb,
                    tone.measuredDb - tone.exactDb, tone.exactPhase, phaseError(tone, offset, rate));
    }
}

// Measures the device and holds it to the targets. The phase offset is fitted,
// then checked against where the device really moved the sync pulse's
// threshold crossing.
void expectAccurate(const SweepSettings& sweep, const std::vector<std::string>& device, int expectedOffset = -1000) {
    if (!programsBuilt()) GTEST_SKIP() << "tonesmith and echoprobe are not built yet";
    TempDir dir;
    const Measurement m = measureDevice(dir, sweep, device);
    ASSERT_FALSE(::testing::Test::HasFailure());
    ASSERT_GE(m.tones.size(), 10u);
    const int offset = fitOffset(m.tones, sweep.sampleRate, kFloorDb);
    EXPECT_EQ(offset, m.crossingOffset);
    if (expectedOffset != -1000) {
        EXPECT_EQ(offset, expectedOffset);
    }
    const Errors errors = errorsOf(m, sweep.sampleRate, offset);
    EXPECT_GE(errors.compared, 8u);
    for (const ToneComparison& tone : m.tones) {
        if (!(tone.exactDb > kFloorDb)) continue;
        EXPECT_NEAR(tone.measuredDb, tone.exactDb, kMagnitudeTargetDb) << tone.frequency << " Hz";
        EXPECT_NEAR(phaseError(tone, offset, sweep.sampleRate), 0.0, kPhaseTargetDeg) << tone.frequency << " Hz";
    }
    std::printf("%zu tones compared: worst magnitude error %.5f dB, worst phase error %.4f deg\n", errors.compared,
                errors.worstDb, errors.worstPhase);
    if (::testing::Test::HasFailure() || std::getenv("AURALYN_ACCURACY_TABLES")) printTable("Measured against exact", m, sweep.sampleRate, offset);
}

SweepSettings octaveSweep(std::uint32_t rate) {
    SweepSettings sweep;
    sweep.sampleRate = rate;
    return sweep;
}

// 200 Hz to the default end, 20 kHz, in steps of 900 Hz.
SweepSettings linearSweep(std::uint32_t rate) {
    SweepSettings sweep = octaveSweep(rate);
    sweep.octave = false;
    sweep.startFrequency = 200.0;
    sweep.step = 900.0;
    return sweep;
}

TEST(AccuracyOfSimpleDevices, PerfectWire) {
    expectAccurate(octaveSweep(48000), {}, 0);
    expectAccurate(linearSweep(44100), {}, 0);
}

TEST(AccuracyOfSimpleDevices, Gain) { expectAccurate(octaveSweep(44100), {"--gain", "-7.5"}, 0); }

TEST(AccuracyOfSimpleDevices, DelayOfAFewSamples) { expectAccurate(octaveSweep(48000), {"--delay", "5"}, 5); }

TEST(AccuracyOfSimpleDevices, InvertedPolarity) {
    expectAccurate(octaveSweep(44100), {"--invert"}, 0);
    expectAccurate(linearSweep(48000), {"--invert", "--delay", "2"}, 2);
}

// A little attenuation in front keeps the filters' overshoot below full scale.
TEST(AccuracyOfFilters, LowPass) {
    expectAccurate(octaveSweep(48000), {"--gain", "-1", "--lowpass", "5000", "0.7071"});
}

TEST(AccuracyOfFilters, HighPass) {
    expectAccurate(octaveSweep(44100), {"--gain", "-3", "--highpass", "200", "0.7071"});
}

TEST(AccuracyOfFilters, PeakingEq) {
    expectAccurate(linearSweep(48000), {"--gain", "-7", "--peak", "2000", "1.4", "6"});
    expectAccurate(octaveSweep(44100), {"--gain", "-2", "--peak", "1000", "2", "-9"});
}

TEST(AccuracyOfFilters, AllPass) { expectAccurate(octaveSweep(44100), {"--gain", "-6", "--allpass", "1500", "0.7"}); }

TEST(AccuracyOfFilters, SmallTwoWayLoudspeaker) {
    expectAccurate(octaveSweep(48000), {"--gain", "-6", "--highpass", "60", "0.7071", "--peak", "3000", "1.5", "3",
                                        "--lowpass", "15000", "0.7071", "--delay", "4"});
}

// Noise at -40 dBFS: each tone's amplitude and phase come from a correlation
// over its N samples, whose noise part has a standard deviation of
// sigma * sqrt(2 / N) sample units (sigma: the noise RMS). Relative to the tone
// amplitude A that is r = sigma * sqrt(2 / N) / A, or 8.686 r dB and 57.3 r
// degrees. The limits are the noiseless targets plus five such deviations, a
// bound that a tone exceeds with a probability below one in a million.
TEST(AccuracyUnderNoise, StaysWithinFiveStandardDeviations) {
    if (!programsBuilt()) GTEST_SKIP() << "tonesmith and echoprobe are not built yet";
    for (std::uint32_t rate : {48000u, 44100u}) {
        const double levelDbfs = -40.0;
        const double sigma = 32767.0 / std::sqrt(2.0) * std::pow(10.0, levelDbfs / 20.0);
        TempDir dir;
        const SweepSettings sweep = octaveSweep(rate);
        const Measurement m = measureDevice(dir, sweep, {"--gain", "-1", "--lowpass", "8000", "0.7071", "--noise", "-40",
                                                         std::to_string(rate)});
        ASSERT_FALSE(HasFailure());
        const int offset = fitOffset(m.tones, rate, kFloorDb);
        EXPECT_EQ(offset, m.crossingOffset);
        printTable("Noise at -40 dBFS", m, rate, offset);
        double worstRatioDb = 0.0;
        for (const ToneComparison& tone : m.tones) {
            if (!(tone.exactDb > kFloorDb)) continue;
            const double amplitude = 32767.0 * std::pow(10.0, tone.exactDb / 20.0);
            const double r = sigma * std::sqrt(2.0 / tone.blockLength) / amplitude;
            const double dbLimit = kMagnitudeTargetDb + 5.0 * 8.686 * r;
            const double phaseLimit = kPhaseTargetDeg + 5.0 * 57.296 * r;
            EXPECT_NEAR(tone.measuredDb, tone.exactDb, dbLimit) << tone.frequency << " Hz";
            EXPECT_NEAR(phaseError(tone, offset, rate), 0.0, phaseLimit) << tone.frequency << " Hz";
            worstRatioDb = std::max(worstRatioDb, std::fabs(tone.measuredDb - tone.exactDb) / (8.686 * r));
        }
        std::printf("%u Hz: worst magnitude error %.2f standard deviations\n", rate, worstRatioDb);
    }
}

// A recorder clock 50 ppm off: every tone lies 50 ppm lower in the recording,
// and the measurer, counting samples from the last sync pulse, reads each
// block a little early or late. With a pulse before every tone and
// maxTimeDrift covering the drift across one tone, the block stays inside the
// steady tone; what remains:
// - magnitude: the correlation at f of a tone at f (1 - 50e-6) loses
//   (pi f e T)^2 / 6 of its amplitude over a block of T seconds (below 0.004 dB
//   at 16 kHz and 20 ms), and the resampler's pass band ripples by at most
//   0.01 dB: limit 0.03 dB.
// - phase: the pulse no longer starts on a whole sample, so its threshold
//   crossing moves by up to one sample from pulse to pulse; the whole-sample
//   fit of the offset, weighted towards the high tones, may leave half a sample
//   more; and the block start drifts by e (lead + block) samples. Limit: the
//   phase of that many samples, 360 f (1.5 + e (lead + block)) / R degrees,
//   plus the target. (A measurement with a clock error this large is only
//   meaningful in phase at low frequencies; this is the size of the effect.)
TEST(AccuracyUnderClockError, FiftyPpmEitherWay) {
    if (!programsBuilt()) GTEST_SKIP() << "tonesmith and echoprobe are not built yet";
    for (double ppm : {50.0, -50.0}) {
        for (std::uint32_t rate : {48000u, 44100u}) {
            SweepSettings sweep = octaveSweep(rate);
            sweep.tonesPerSyncPulse = 1;
            sweep.maxTimeDrift = 0.0005;
            TempDir dir;
            const Measurement m = measureDevice(dir, sweep, {"--gain", "-1", "--clock", std::to_string(ppm)});
            ASSERT_FALSE(HasFailure());
            const int offset = fitOffset(m.tones, rate, kFloorDb);
            char title[64];
            std::snprintf(title, sizeof title, "Clock error %+g ppm at %u Hz", ppm, rate);
            printTable(title, m, rate, offset);
            const double e = std::fabs(ppm) * 1e-6;
            double worstDb = 0.0;
            double worstSamples = 0.0;
            for (const ToneComparison& tone : m.tones) {
                const double drift = e * (tone.leadLength + tone.blockLength);
                const double phaseLimit = kPhaseTargetDeg + 360.0 * tone.frequency * (1.5 + drift) / rate;
                EXPECT_NEAR(tone.measuredDb, tone.exactDb, 0.03) << tone.frequency << " Hz";
                EXPECT_NEAR(phaseError(tone, offset, rate), 0.0, phaseLimit) << tone.frequency << " Hz";
                worstDb = std::max(worstDb, std::fabs(tone.measuredDb - tone.exactDb));
                worstSamples = std::max(worstSamples, std::fabs(phaseError(tone, offset, rate)) * rate /
                                                          (360.0 * tone.frequency));
            }
            std::printf("%s: worst magnitude error %.4f dB, worst timing error %.3f samples\n", title, worstDb,
                        worstSamples);
        }
    }
}

}  // namespace
}  // namespace auralyn::test
