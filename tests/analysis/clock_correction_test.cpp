// The clock-corrected measurement against recordings drifted by the device
// simulator's resampler, compared with the same device on one clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "clock_test_recordings.h"
#include "drifted_sweep.h"
#include "analysis/clock_corrected_sweep.h"
#include "sweep_recording.h"
#include "sample_vectors.h"
#include "sanitizer_build.h"

namespace auralyn {
namespace {

using clock::ClockVerdict;

// The recordings here are 16-bit codes, as a recorder writes them.
analysis::ClockCorrectedSweep measureCodes(const sweep::SweepPlan& plan, const std::vector<std::int16_t>& codes) {
    return analysis::measureWithClockCorrection(plan, test::asSamples(codes));
}

constexpr double kPi = 3.141592653589793;
constexpr double kRate = 48000.0;

double wrapped(double angle) { return std::remainder(angle, 2.0 * kPi); }

// The one delay (in samples) that best explains the phase differences, found
// by a scan and refined by least squares: no method can tell it from a clock.
double fittedDelay(const std::vector<double>& frequencies, const std::vector<double>& differences) {
    auto cost = [&](double tau) {
        double sum = 0;
        for (std::size_t i = 0; i < frequencies.size(); ++i) {
            const double r = wrapped(differences[i] + 2.0 * kPi * frequencies[i] * tau / kRate);
            sum += r * r;
        }
        return sum;
    };
    double best = 0;
    for (double tau = -3.0; tau <= 3.0; tau += 0.001)
        if (cost(tau) < cost(best)) best = tau;
    for (double step = 0.0005; step > 1e-9; step *= 0.5) {
        if (cost(best + step) < cost(best)) best += step;
        if (cost(best - step) < cost(best)) best -= step;
    }
    return best;
}

struct Agreement {
    double worstDb = 0;
    double worstDegrees = 0;
    std::size_t compared = 0;
};

// Tones above -40 dB of full scale, after one delay for the whole recording.
Agreement compare(const analysis::ClockCorrectedSweep& measured, const analysis::ClockCorrectedSweep& reference) {
    std::vector<double> frequencies, differences;
    std::vector<std::size_t> loud;
    for (std::size_t i = 0; i < reference.tones.size() && i < measured.tones.size(); ++i) {
        if (reference.tones[i].amplitude < 0.01 * 32767) continue;
        loud.push_back(i);
        frequencies.push_back(reference.tones[i].nominalFrequency);
        differences.push_back(wrapped(measured.tones[i].phase - reference.tones[i].phase));
    }
    const double tau = fittedDelay(frequencies, differences);
    Agreement a;
    a.compared = loud.size();
    for (std::size_t k = 0; k < loud.size(); ++k) {
        const std::size_t i = loud[k];
        const double db = 20.0 * std::log10(measured.tones[i].amplitude / reference.tones[i].amplitude);
        const double degrees = wrapped(differences[k] + 2.0 * kPi * frequencies[k] * tau / kRate) * 180.0 / kPi;
        a.worstDb = std::max(a.worstDb, std::fabs(db));
        a.worstDegrees = std::max(a.worstDegrees, std::fabs(degrees));
    }
    return a;
}

TEST(ClockCorrection, OneClockSweepReadsAsEchoprobeWould) {
    // A perfect recording on one clock: every block starts on a whole sample,
    // the one echoprobe reads, and every tone reads full scale at phase 0.
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    const std::vector<std::int16_t> recording = test::synthesiseSweep(plan);
    const analysis::ClockCorrectedSweep sweep = measureCodes(plan, recording);
    ASSERT_TRUE(sweep.pulseFound);
    EXPECT_EQ(sweep.clock.verdict, ClockVerdict::Measured);
    EXPECT_NEAR(sweep.clock.ppm, 0.0, 0.01);
    EXPECT_LT(sweep.clock.u95, 0.05);
    ASSERT_EQ(sweep.tones.size(), plan.toneCount());
    EXPECT_EQ(sweep.tonesMissing, 0u);
    for (const analysis::ClockCorrectedTone& tone : sweep.tones) {
        EXPECT_NEAR(tone.amplitude, 32767.0, 0.05) << tone.nominalFrequency;
        // The phase may turn only as far as the clock's own uncertainty allows.
        const double allowed = 2.0 * kPi * tone.nominalFrequency / kRate * (tone.blockStart - sweep.trigger) *
                               sweep.clock.u95 * 1e-6;
        EXPECT_NEAR(tone.phase, 0.0, allowed + 1e-5) << tone.nominalFrequency;
        EXPECT_NEAR(tone.blockStart, std::round(tone.blockStart), 0.01);
        EXPECT_NEAR(tone.measuredFrequency, tone.nominalFrequency, 1e-6 * tone.nominalFrequency);
        EXPECT_NEAR(tone.fittedFrequency, tone.nominalFrequency, 1e-7 * tone.nominalFrequency);
    }
}

TEST(ClockCorrection, ExactDriftReadsAsOneClock) {
    // Synthesised directly at the drifted times: the tones are exactly where
    // and at the frequency the correction puts them, so they read full scale
    // at phase 0 but for the fraction of a sample by which the trigger lags.
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    for (double ppm : {-1000.0, -200.0, 20.0, 1000.0}) {
        const analysis::ClockCorrectedSweep sweep = measureCodes(plan, test::synthesiseDriftedSweep(plan, ppm));
        ASSERT_EQ(sweep.clock.verdict, ClockVerdict::Measured) << ppm;
        EXPECT_NEAR(sweep.clock.ppm, ppm, 0.05);
        EXPECT_LE(std::fabs(sweep.clock.ppm - ppm), sweep.clock.u95) << ppm;
        ASSERT_EQ(sweep.tones.size(), plan.toneCount());
        // The pulse began at a fractional recording time; the whole-sample
        // trigger lags it by less than a sample: a delay of up to 1 sample.
        const double lag = std::ceil(sweep.trigger / (1.0 + ppm * 1e-6)) * (1.0 + ppm * 1e-6) - sweep.trigger;
        for (const analysis::ClockCorrectedTone& tone : sweep.tones) {
            EXPECT_NEAR(tone.amplitude, 32767.0, 0.1) << ppm << " " << tone.nominalFrequency;
            EXPECT_LE(std::fabs(tone.phase), 2.0 * kPi * tone.nominalFrequency / kRate + 1e-4) << lag;
        }
    }
}

TEST(ClockCorrection, EmptyAndTruncatedRecordingsMeasureWhatTheyHold) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 3.0);
    const std::vector<std::int16_t> full = test::synthesiseDriftedSweep(plan, 100.0);
    const analysis::ClockCorrectedSweep empty = measureCodes(plan, {});
    EXPECT_FALSE(empty.pulseFound);
    EXPECT_EQ(empty.tonesMissing, plan.toneCount());
    EXPECT_TRUE(empty.tones.empty());
    // Cut just behind the pulse, then inside the second tone: nothing to agree on.
    for (std::size_t keep : {std::size_t{175000}, std::size_t{205000}}) {
        const std::vector<std::int16_t> cut(full.begin(), full.begin() + keep);
        const analysis::ClockCorrectedSweep sweep = measureCodes(plan, cut);
        EXPECT_TRUE(sweep.pulseFound) << keep;
        EXPECT_EQ(sweep.clock.verdict, ClockVerdict::Disagree) << keep;
        EXPECT_FALSE(sweep.corrected);
        EXPECT_EQ(sweep.tones.size() + sweep.tonesMissing, sweep.tonesExpected);
        for (const analysis::ClockCorrectedTone& tone : sweep.tones) EXPECT_LE(tone.blockStart + tone.blockLength, keep);
    }
    // The pulse found, the rest of the recording a constant level: no tones.
    std::vector<std::int16_t> flat(full.begin(), full.begin() + 175000);
    flat.resize(full.size(), 20000);
    EXPECT_EQ(measureCodes(plan, flat).clock.verdict, ClockVerdict::Disagree);
}

#ifdef AURALYN_HAVE_SIMULATION

simulation::Device filteringDevice(double ppm, double noiseDbfs = 0.0) {
    simulation::Device device;
    device.parts.push_back(simulation::GainPart{-6.0});
    device.parts.push_back(simulation::FilterSettings{simulation::FilterKind::HighPass, 40.0, 0.7071067811865476, 0.0});
    device.parts.push_back(simulation::FilterSettings{simulation::FilterKind::Peak, 3000.0, 1.0, 5.0});
    device.parts.push_back(simulation::FilterSettings{simulation::FilterKind::LowPass, 16000.0, 0.7071067811865476, 0.0});
    device.parts.push_back(simulation::DelayPart{37});
    if (noiseDbfs < 0.0) device.parts.push_back(simulation::NoisePart{noiseDbfs, 7});
    if (ppm != 0.0) device.parts.push_back(simulation::ClockPart{ppm});
    return device;
}

void expectOneClockResult(const sweep::SweepPlan& plan, const char* name) {
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    const analysis::ClockCorrectedSweep reference =
        measureCodes(plan, test::throughDevice(played, filteringDevice(0.0), kRate));
    ASSERT_EQ(reference.clock.verdict, ClockVerdict::Measured);
    EXPECT_NEAR(reference.clock.ppm, 0.0, 0.05);
    const std::vector<double> all = {-1000.0, -200.0, -20.0, 0.0, 20.0, 50.0, 1000.0};
    const std::vector<double> ends = {-1000.0, 20.0, 1000.0};
    for (double ppm : test::kUnderSanitizer ? ends : all) {
        const std::vector<std::int16_t> recording = test::throughDevice(played, filteringDevice(ppm), kRate);
        const analysis::ClockCorrectedSweep sweep = measureCodes(plan, recording);
        ASSERT_EQ(sweep.clock.verdict, ClockVerdict::Measured) << ppm;
        ASSERT_EQ(sweep.tones.size(), reference.tones.size()) << ppm;
        const Agreement a = compare(sweep, reference);
        std::printf("%-12s %+7.0f ppm: clock %+10.4f ppm (error %+.4f, U95 %.4f, %u of %u agree), "
                    "%zu tones, worst %.4f dB, %.3f deg\n",
                    name, ppm, sweep.clock.ppm, sweep.clock.ppm - ppm, sweep.clock.u95, sweep.clock.agreeing,
                    sweep.clock.offered, a.compared, a.worstDb, a.worstDegrees);
        EXPECT_NEAR(sweep.clock.ppm, ppm, 0.2);
        EXPECT_LE(a.worstDb, 0.02) << ppm;
        EXPECT_LE(a.worstDegrees, 0.5) << ppm;
        EXPECT_GT(a.compared, plan.toneCount() * 3 / 4);
    }
}

TEST(ClockCorrectionThroughDevice, OnePulseMatchesOneClock) { expectOneClockResult(test::defaultSweep(0), "one pulse"); }

TEST(ClockCorrectionThroughDevice, SeveralPulsesMatchOneClock) {
    expectOneClockResult(test::defaultSweep(10), "pulse/10");
}

TEST(ClockCorrectionThroughDevice, ClockWithinOnePpmInNoise) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    for (double ppm : {-1000.0, -20.0, 50.0, 1000.0}) {
        const analysis::ClockCorrectedSweep sweep =
            measureCodes(plan, test::throughDevice(played, filteringDevice(ppm, -60.0), kRate));
        ASSERT_EQ(sweep.clock.verdict, ClockVerdict::Measured) << ppm;
        std::printf("noise -60 dBFS %+7.0f ppm: clock error %+.4f ppm, U95 %.4f\n", ppm, sweep.clock.ppm - ppm,
                    sweep.clock.u95);
        EXPECT_NEAR(sweep.clock.ppm, ppm, 1.0);
        EXPECT_LE(std::fabs(sweep.clock.ppm - ppm), sweep.clock.u95) << ppm;
    }
}

// The 95 % interval covers the true clock in about 95 % of recordings, with a
// few tones (Student's t on 3 degrees of freedom) as with many.
void expectCoverage(const sweep::SweepPlan& plan, double noiseDbfs, int trials) {
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    int covered = 0;
    double relative = 0;
    for (int seed = 1; seed <= trials; ++seed) {
        simulation::Device device = filteringDevice(0.0);
        device.parts.push_back(simulation::NoisePart{noiseDbfs, static_cast<std::uint64_t>(seed)});
        device.parts.push_back(simulation::ClockPart{37.0});
        const analysis::ClockCorrectedSweep sweep = measureCodes(plan, test::throughDevice(played, device, kRate));
        ASSERT_EQ(sweep.clock.verdict, ClockVerdict::Measured) << seed;
        covered += std::fabs(sweep.clock.ppm - 37.0) <= sweep.clock.u95;
        relative += std::fabs(sweep.clock.ppm - 37.0) / sweep.clock.u95;
    }
    std::printf("%u tones, noise %.0f dBFS: the 95 %% interval covered %d of %d, mean |error| / U95 %.2f\n",
                plan.toneCount(), noiseDbfs, covered, trials, relative / trials);
    EXPECT_GE(covered, trials * 7 / 8);
    // Gaussian errors give 0.8 / 1.96 = 0.41; far less means a needlessly wide interval.
    EXPECT_GT(relative / trials, 0.25);
}

TEST(ClockCorrectionThroughDevice, UncertaintyCovers) {
    expectCoverage(test::shortSweepPlan(48000, 8000.0), -40.0, 30);
    expectCoverage(test::defaultSweep(0, 3.0), -50.0, 30);
}

TEST(ClockCorrectionThroughDevice, PaddedAndCutRecordings) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    const std::vector<std::int16_t> recording = test::throughDevice(played, filteringDevice(300.0), kRate);
    const analysis::ClockCorrectedSweep plain = measureCodes(plan, recording);
    ASSERT_EQ(plain.clock.verdict, ClockVerdict::Measured);

    // Started 1.3 s early and stopped 2 s late: the same tones, later.
    const analysis::ClockCorrectedSweep early = measureCodes(plan, test::padded(recording, 62400, 96000));
    ASSERT_EQ(early.clock.verdict, ClockVerdict::Measured);
    EXPECT_NEAR(early.clock.ppm, plain.clock.ppm, 1e-9);
    ASSERT_EQ(early.tones.size(), plain.tones.size());
    for (std::size_t i = 0; i < plain.tones.size(); ++i) {
        EXPECT_NEAR(early.tones[i].blockStart - 62400, plain.tones[i].blockStart, 1e-6);
        EXPECT_NEAR(early.tones[i].amplitude, plain.tones[i].amplitude, 1e-6);
        EXPECT_NEAR(early.tones[i].phase, plain.tones[i].phase, 1e-6);
    }

    // Stopped inside the sweep: the tones it holds, the rest counted missing.
    const std::vector<std::int16_t> cut(recording.begin(), recording.begin() + recording.size() * 2 / 3);
    const analysis::ClockCorrectedSweep part = measureCodes(plan, cut);
    ASSERT_EQ(part.clock.verdict, ClockVerdict::Measured);
    EXPECT_NEAR(part.clock.ppm, 300.0, 0.2);
    EXPECT_GT(part.tones.size(), 0u);
    EXPECT_LT(part.tones.size(), plain.tones.size());
    EXPECT_EQ(part.tones.size() + part.tonesMissing, part.tonesExpected);
    const analysis::ClockCorrectedTone& last = part.tones.back();
    EXPECT_LE(last.blockStart + last.blockLength, static_cast<double>(cut.size()));
    for (std::size_t i = 0; i < part.tones.size(); ++i)
        EXPECT_NEAR(20 * std::log10(part.tones[i].amplitude / plain.tones[i].amplitude), 0.0, 0.01);
}

TEST(ClockCorrectionThroughDevice, BeyondThousandPpmIsReportedNotUsed) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    for (double ppm : {-1500.0, 1500.0}) {
        const analysis::ClockCorrectedSweep sweep =
            measureCodes(plan, test::throughDevice(played, filteringDevice(ppm), kRate));
        EXPECT_EQ(sweep.clock.verdict, ClockVerdict::OutOfRange) << ppm;
        EXPECT_NEAR(sweep.clock.ppm, ppm, 1.0);
        EXPECT_FALSE(sweep.corrected);
        EXPECT_EQ(sweep.tones.front().blockStart, std::floor(sweep.tones.front().blockStart));
    }
}

TEST(ClockCorrectionThroughDevice, SomethingElseGivesNoFigure) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const std::vector<std::int16_t> played = test::synthesiseSweep(plan);
    const std::size_t length = played.size();
    // Silence: no pulse, no figure.
    const analysis::ClockCorrectedSweep silence = measureCodes(plan, std::vector<std::int16_t>(length, 0));
    EXPECT_FALSE(silence.pulseFound);
    EXPECT_EQ(silence.clock.verdict, ClockVerdict::Disagree);
    EXPECT_EQ(silence.tonesMissing, silence.tonesExpected);
    // Noise loud enough to reach the threshold holds nothing shaped like a pulse.
    simulation::Device noise;
    noise.parts.push_back(simulation::GainPart{-200.0});
    noise.parts.push_back(simulation::NoisePart{-12.0, 3});
    const analysis::ClockCorrectedSweep noisy = measureCodes(plan, test::throughDevice(played, noise, kRate));
    EXPECT_FALSE(noisy.pulseFound);
    EXPECT_EQ(noisy.clock.verdict, ClockVerdict::Disagree);
    EXPECT_FALSE(noisy.corrected);
    // Another sweep: 100 Hz to 15 kHz in steps of 150 Hz, its own pulse.
    sweep::SweepParameters other = plan.params();
    other.octaveSweep = 0;
    other.startFrequency = 100;
    other.endFrequency = 15000;
    other.frequencyStep = 150;
    sweep::SweepPlan otherPlan(other);
    const analysis::ClockCorrectedSweep foreign = measureCodes(
        plan, test::throughDevice(test::synthesiseSweep(otherPlan), filteringDevice(20.0), kRate));
    EXPECT_TRUE(foreign.pulseFound);
    EXPECT_EQ(foreign.clock.verdict, ClockVerdict::Disagree) << foreign.clock.ppm << " " << foreign.clock.agreeing;
}

#endif

}  // namespace
}  // namespace auralyn
