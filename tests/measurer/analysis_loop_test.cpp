#include "measurer/analysis_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "measurer/sync_search.h"
#include "sweep/sweep_layout.h"
#include "sweep_recording.h"
#include "test_files.h"

namespace auralyn {
namespace {

using test::TempDir;

// Opens a recording of the given samples, positioned on its first sample.
class Recording {
public:
    Recording(const std::vector<std::int16_t>& samples, std::uint32_t rate = 48000) {
        test::writeWave(dir_.file("rec.wav"), rate, samples);
        opened_ = wave.openRead(dir_.file("rec.wav").c_str());
    }
    bool opened() const { return opened_; }
    std::int16_t next() {
        std::int16_t sample = 12345;
        EXPECT_TRUE(wave.readSample(&sample));
        return sample;
    }
    wave::WaveFile wave;

private:
    TempDir dir_;
    bool opened_ = false;
};

sweep::SweepPlan pulsePlan(double thresholdPercent, double pulseSeconds) {
    sweep::SweepPlan plan = test::shortSweepPlan();
    sweep::SweepParameters p = plan.params();
    p.syncThreshold = thresholdPercent;
    p.syncPulseDuration = pulseSeconds;
    return sweep::SweepPlan(p);
}

struct Analysis {
    bool ok = false;
    std::vector<measurer::ToneResult> results;
    std::string console;
};

// Runs the loop from the end of the lead-in, as the program does.
Analysis analyse(sweep::SweepPlan plan, const std::vector<std::int16_t>& samples, std::uint32_t toneCount) {
    Recording recording(samples, plan.params().sampleRate);
    EXPECT_TRUE(recording.opened());
    EXPECT_TRUE(recording.wave.skipSamples(sweep::measurerLeadInSamples(plan.params())));
    Analysis analysis;
    testing::internal::CaptureStdout();
    analysis.ok = measurer::analyzeRecording(plan, recording.wave, analysis.results, toneCount);
    analysis.console = testing::internal::GetCapturedStdout();
    return analysis;
}

void expectFullScaleInPhase(const Analysis& analysis) {
    for (const measurer::ToneResult& tone : analysis.results) {
        EXPECT_NEAR(tone.amplitude, 32767.0, 0.5) << tone.frequency;
        EXPECT_NEAR(tone.phase, 0.0, 0.1 * 3.141592653589793 / 180.0) << tone.frequency;
    }
}

// The sample read next behind the sync pulse found in `samples`; nothing
// where no pulse is found.
std::optional<std::int16_t> sampleBehindPulse(const std::vector<std::int16_t>& samples, double thresholdPercent,
                                              double pulseSeconds) {
    Recording recording(samples);
    if (!measurer::findSyncPulse(pulsePlan(thresholdPercent, pulseSeconds), recording.wave)) return std::nullopt;
    return recording.next();
}

TEST(SyncSearch, FindsPositiveAndNegativePulsesAndStopsBehindThem) {
    // 0.0002 s at 48000 Hz: a pulse of 9 samples.
    for (std::int16_t level : {std::int16_t{29490}, std::int16_t{-29490}, std::int16_t{-32768}}) {
        std::vector<std::int16_t> samples(100, 0);
        samples[5] = 4000;  // below the 15 % threshold of 4915, before the silence
        for (int i = 20; i < 29; ++i) samples[i] = level;
        samples[29] = 777;
        EXPECT_EQ(sampleBehindPulse(samples, 15.0, 0.0002), std::optional<std::int16_t>{777}) << level;
    }
}

TEST(SyncSearch, ThresholdIsInclusive) {
    std::vector<std::int16_t> samples(50, 0);
    for (int i = 5; i < 14; ++i) samples[i] = -4915;
    samples[14] = 55;
    EXPECT_EQ(sampleBehindPulse(samples, 15.0, 0.0002), std::optional<std::int16_t>{55});
}

TEST(SyncSearch, ZeroThresholdTakesTheFirstSample) {
    std::vector<std::int16_t> samples(50, 0);
    samples[9] = 99;
    EXPECT_EQ(sampleBehindPulse(samples, 0.0, 0.0002), std::optional<std::int16_t>{99});
}

TEST(SyncSearch, PulseShorterThanOneSampleSkipsNothing) {
    std::vector<std::int16_t> samples(50, 0);
    samples[3] = 20000;
    samples[4] = 42;
    EXPECT_EQ(sampleBehindPulse(samples, 15.0, 0.00001), std::optional<std::int16_t>{42});
}

TEST(SyncSearch, SilenceRunsToTheEndAndFails) {
    EXPECT_EQ(sampleBehindPulse(std::vector<std::int16_t>(1000, 100), 15.0, 0.0002), std::nullopt);
}

TEST(PeakTracking, KeepsTheLargestMagnitude) {
    const std::vector<std::int16_t> samples = {3, -700, 699, 12};
    EXPECT_EQ(measurer::trackPeak(0, samples.data(), 4), 700);
    EXPECT_EQ(measurer::trackPeak(800, samples.data(), 4), 800);
    EXPECT_EQ(measurer::trackPeak(5, samples.data(), 0), 5);
    const std::int16_t clipped[] = {32767, -32768};
    EXPECT_EQ(measurer::trackPeak(0, clipped, 2), 32768);
}

TEST(AnalysisLoop, CleanSweepMeasuresFullScaleAtZeroPhase) {
    const sweep::SweepPlan plan = test::shortSweepPlan();  // 1000, 2000, 4000, 8000 Hz
    const Analysis analysis = analyse(plan, test::synthesiseSweep(plan), plan.toneCount());
    ASSERT_TRUE(analysis.ok) << analysis.console;
    ASSERT_EQ(analysis.results.size(), 4u);
    EXPECT_DOUBLE_EQ(analysis.results[0].frequency, 1000.0);
    EXPECT_DOUBLE_EQ(analysis.results[3].frequency, 8000.0);
    expectFullScaleInPhase(analysis);
}

TEST(AnalysisLoop, ProgressShowsEachToneThenHundredAndThePeak) {
    const sweep::SweepPlan plan = test::shortSweepPlan();
    const Analysis analysis = analyse(plan, test::synthesiseSweep(plan), plan.toneCount());
    EXPECT_EQ(analysis.console,
              "\nAnalyzing input wave. Percent done:\n\r0%  \r25%  \r50%  \r75%  \r100%  \n"
              "\nPeak recording level: 100%\n");
}

TEST(AnalysisLoop, ClippingAtMinus32768IsAHundredPercentPeak) {
    sweep::SweepPlan plan = test::shortSweepPlan();
    std::vector<std::int16_t> samples = test::synthesiseSweep(plan);
    for (std::int16_t& s : samples) s = static_cast<std::int16_t>(s / 2);
    Analysis half = analyse(plan, samples, plan.toneCount());
    EXPECT_NE(half.console.find("\nPeak recording level: 50%\n"), std::string::npos) << half.console;
    // A sample inside tone 0's block: lead-in, sync block, then the lead.
    plan.rewind();
    const std::size_t inBlock = static_cast<std::size_t>(sweep::generatorLeadInSamples(plan.params()) +
                                                         sweep::syncSettlingSamples(plan.params()) +
                                                         sweep::syncDriftSamples(plan.params()) +
                                                         sweep::syncPulseSamples(plan.params()) + plan.settlingSamples() + 5);
    samples[inBlock] = -32768;
    const Analysis clipped = analyse(plan, samples, plan.toneCount());
    EXPECT_NE(clipped.console.find("\nPeak recording level: 100%\n"), std::string::npos) << clipped.console;
}

TEST(AnalysisLoop, SeveralSyncPulsesAndOtherRates) {
    for (std::uint32_t rate : {8000u, 96000u}) {
        for (std::uint32_t perPulse : {1u, 2u, 3u}) {
            sweep::SweepParameters p = test::shortSweepPlan(rate, rate == 8000u ? 3200.0 : 16000.0).params();
            p.tonesPerSyncPulse = perPulse;
            p.octaveSweep = 0;
            p.startFrequency = 400.0;
            p.frequencyStep = 700.0;
            sweep::SweepPlan plan(p);
            plan.rewind();
            const Analysis analysis = analyse(plan, test::synthesiseSweep(plan), plan.toneCount());
            ASSERT_TRUE(analysis.ok) << rate << " " << perPulse << analysis.console;
            EXPECT_EQ(analysis.results.size(), plan.toneCount());
            expectFullScaleInPhase(analysis);
        }
    }
}

TEST(AnalysisLoop, ExtraSilenceInFrontOrAShiftMeasuresTheSame) {
    const sweep::SweepPlan plan = test::shortSweepPlan();
    const std::vector<std::int16_t> clean = test::synthesiseSweep(plan);
    const Analysis reference = analyse(plan, clean, plan.toneCount());
    for (std::size_t padding : {std::size_t{3}, std::size_t{48000}}) {
        std::vector<std::int16_t> padded(padding, 0);
        padded.insert(padded.end(), clean.begin(), clean.end());
        const Analysis analysis = analyse(plan, padded, plan.toneCount());
        ASSERT_TRUE(analysis.ok);
        ASSERT_EQ(analysis.results.size(), reference.results.size());
        for (std::size_t i = 0; i < reference.results.size(); ++i) {
            EXPECT_DOUBLE_EQ(analysis.results[i].amplitude, reference.results[i].amplitude);
            EXPECT_DOUBLE_EQ(analysis.results[i].phase, reference.results[i].phase);
        }
    }
}

TEST(AnalysisLoop, SilentRecordingFailsWithTheSyncMessage) {
    const sweep::SweepPlan plan = test::shortSweepPlan();
    const Analysis analysis = analyse(plan, std::vector<std::int16_t>(48000 * 4, 0), plan.toneCount());
    EXPECT_FALSE(analysis.ok);
    EXPECT_EQ(analysis.console,
              "\nAnalyzing input wave. Percent done:\n\nError: The synchronization pulse could not be found.");
}

TEST(AnalysisLoop, RecordingCutInsideTheLastToneFails) {
    const sweep::SweepPlan plan = test::shortSweepPlan();
    std::vector<std::int16_t> samples = test::synthesiseSweep(plan);
    samples.resize(samples.size() - 200);  // 8000 Hz: tail of 6 samples, block of 960
    const Analysis analysis = analyse(plan, samples, plan.toneCount());
    EXPECT_FALSE(analysis.ok);
    EXPECT_EQ(analysis.console,
              "\nAnalyzing input wave. Percent done:\n\r0%  \r25%  \r50%  "
              "\nError: Input wave file ended before expected.");
}

TEST(AnalysisLoop, ToneCountBoundsTheResults) {
    const sweep::SweepPlan plan = test::shortSweepPlan();
    const std::vector<std::int16_t> samples = test::synthesiseSweep(plan);
    const Analysis shorter = analyse(plan, samples, 2);
    ASSERT_TRUE(shorter.ok);
    EXPECT_EQ(shorter.results.size(), 2u);
    // Progress counts the schedule's own tones.
    EXPECT_EQ(shorter.console, "\nAnalyzing input wave. Percent done:\n\r0%  \r25%  \r100%  \n"
                               "\nPeak recording level: 100%\n");
    // A schedule that ends before its count reports only what it measured.
    const Analysis longer = analyse(plan, samples, 10);
    ASSERT_TRUE(longer.ok);
    EXPECT_EQ(longer.results.size(), 4u);
    const Analysis none = analyse(plan, samples, 0);
    ASSERT_TRUE(none.ok);
    EXPECT_TRUE(none.results.empty());
}

}  // namespace
}  // namespace auralyn
