// echoprobe run end to end on noisy recordings of sweeps with and without a
// clock error: its report must be, byte for byte, the report of a plain walk
// that correlates every block one sample at a time (the fit for a block cut
// short). The clock warning fires on the recordings with a clock error and on
// no other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "clock/sine_fit.h"
#include "drifted_sweep.h"
#include "measurer/recording_walk.h"
#include "measurer/report.h"
#include "plain_correlation.h"
#include "run_program.h"
#include "sweep/sweep_layout.h"
#include "sweep_recording.h"
#include "test_files.h"
#include "wave/wave_file.h"

namespace auralyn {
namespace {

using test::TempDir;

measurer::ToneResult plainResult(const measurer::ToneBlock& block, std::uint32_t rate) {
    const std::vector<std::int16_t> samples(block.samples, block.samples + block.length);
    if (block.shortened) {
        constexpr double kPi = 3.141592653589793;
        const clock::SineFit fit = clock::fitSine(samples.data(), block.length, 0.0, 2.0 * kPi * block.frequency / rate);
        if (!fit.solved) return {block.frequency, 0.0, 0.0};
        return {block.frequency, fit.amplitude(), fit.phase()};
    }
    const test::PlainMeasurement m = test::plainCorrelation(samples, block.frequency, rate);
    return {block.frequency, m.amplitude, measurer::phaseAtBlockStart(m.phase, block, rate)};
}

// The report of the plain walk over `path`, written by the report's own writer.
std::string plainReport(sweep::SweepPlan plan, const std::string& path, const std::string& reportPath) {
    wave::WaveFile recording;
    EXPECT_TRUE(recording.openRead(path.c_str()));
    EXPECT_TRUE(recording.skipSamples(sweep::measurerLeadInSamples(plan.params())));
    std::vector<measurer::ToneResult> results;
    const std::uint32_t rate = plan.params().sampleRate;
    const std::uint32_t count = plan.toneCount();
    const measurer::WalkOutcome outcome = measurer::walkRecording(plan, recording, [&](const measurer::ToneBlock& block) {
        if (block.index >= count) return false;
        results.push_back(plainResult(block, rate));
        return true;
    });
    EXPECT_EQ(outcome.end, measurer::WalkEnd::Complete);
    // Written in text mode, as echoprobe writes its report: the same line
    // ends on every platform's build.
    std::FILE* out = std::fopen(reportPath.c_str(), "w");
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return {};
    measurer::writeHeader(plan, "rec.wav", out);
    measurer::writeResults(results.data(), results.size(), out);
    std::fclose(out);
    return test::readFileText(reportPath);
}

std::vector<std::int16_t> withNoise(std::vector<std::int16_t> samples, int level, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-level, level);
    for (std::int16_t& s : samples) s = static_cast<std::int16_t>(std::clamp(s / 2 + noise(random), -32768, 32767));
    return samples;
}

struct Recording {
    sweep::SweepPlan plan;
    double ppm;
    int noise;
};

sweep::SweepPlan planWith(std::uint32_t rate, double end, double step, std::uint32_t tonesPerSync, double drift) {
    sweep::SweepPlan plan = test::shortSweepPlan(rate, end);
    plan.setFrequencyStep(step);
    plan.setTonesPerSyncPulse(tonesPerSync);
    plan.setMaxTimeDrift(drift);
    if (drift == 0.0) plan.setMaxFractionalCycle(0.01);
    return plan;
}

TEST(EchoprobeSameBytes, ReportIsThatOfAPlainWalk) {
    const std::vector<Recording> recordings = {
        {planWith(48000, 16000.0, 3.0, 0, 0.0002), 0.0, 40},
        {planWith(48000, 16000.0, 3.0, 0, 0.0002), 20.0, 5},
        {planWith(44100, 8000.0, 6.0, 4, 0.0), 0.0, 200},
        {planWith(48000, 20000.0, 4.0, 3, 0.0002), -35.0, 20},
        {planWith(96000, 40000.0, 2.0, 2, 0.0002), 3.0, 1000},
    };
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        const Recording& r = recordings[i];
        TempDir dir;
        const auto samples = withNoise(test::synthesiseDriftedSweep(r.plan, r.ppm), r.noise, static_cast<unsigned>(i));
        test::writeWave(dir.file("rec.wav"), r.plan.params().sampleRate, samples);
        test::writeSweepParameters(dir.file("sweep.swp"), r.plan);
        const test::ProgramRun run = test::runProgram(ECHOPROBE_PATH, {}, "rec.wav\nsweep.swp\n\n\n", dir.path().string());
        ASSERT_EQ(run.exitCode, 0) << i << run.out;
        EXPECT_EQ(test::readFileText(dir.file("rec.txt")), plainReport(r.plan, dir.file("rec.wav"), dir.file("plain.txt"))) << i;
        const bool warned = run.out.find("Warning: the recorder's clock runs") != std::string::npos;
        EXPECT_EQ(warned, r.ppm != 0.0) << i << run.out;
    }
}

}  // namespace
}  // namespace auralyn
