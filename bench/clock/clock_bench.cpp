// Speed of the clock-corrected measurement of a whole recording, in recording
// samples per second on one core, against echoprobe's walk in the same run:
// both on the measurer benchmark's long linear sweep (13.7 million samples),
// recorded on one clock and 20 ppm fast. Rates are per CPU second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_recordings.h"
#include "clock_correction_pass.h"
#include "clocked_recording.h"
#include "long_sweep.h"
#include "recording_passes.h"
#include "clock/sine_fit.h"
#include "clock/tone_frequency.h"
#include "analysis/clock_corrected_sweep.h"
#include "measurer/analysis_loop.h"
#include "measurer/recording_walk.h"
#include "measurer/tone_analyzer.h"
#include "sweep/sweep_layout.h"
#include "wave/wave_file.h"

namespace {

using namespace auralyn;

const std::string& longRecording() {
    static const std::string path = bench::longRecordingIn("auralyn-clock-bench");
    return path;
}

void BM_EchoprobeWalk(benchmark::State& state) {
    bench::timeRecordingPasses(state, longRecording(), "the walk failed", [](sweep::SweepPlan& plan, wave::WaveFile& recording) {
        std::vector<measurer::ToneResult> results;
        const bool measured = bench::walkAsEchoprobe(plan, recording, results);
        benchmark::DoNotOptimize(results.data());
        return measured;
    });
}
BENCHMARK(BM_EchoprobeWalk)->Unit(benchmark::kMillisecond);

// The walk with echoprobe's tone analyzer alone, as it ran before the clock
// warning was added to it.
void BM_WalkWithToneAnalyzerOnly(benchmark::State& state) {
    bench::timeRecordingPasses(state, longRecording(), "the walk failed", [](sweep::SweepPlan& plan, wave::WaveFile& recording) {
        recording.skipSamples(sweep::measurerLeadInSamples(plan.params()));
        measurer::ToneAnalyzer analyzer(nullptr);
        analyzer.setSampleRate(plan.params().sampleRate);
        std::vector<measurer::ToneResult> results;
        measurer::walkRecording(plan, recording, [&](const measurer::ToneBlock& block) {
            analyzer.setSamples(block.samples);
            analyzer.setTone(block.frequency, block.length);
            analyzer.samplesChanged();
            results.push_back(measurer::ToneResult{block.frequency, analyzer.amplitude(), analyzer.phase()});
            return true;
        });
        benchmark::DoNotOptimize(results.data());
        return true;
    });
}
BENCHMARK(BM_WalkWithToneAnalyzerOnly)->Unit(benchmark::kMillisecond);

// Reading the file whole and measuring it, as `auralyn analyze` will.
void BM_ClockCorrectedFromFile(benchmark::State& state) {
    const std::string& path = longRecording();
    const sweep::SweepPlan plan = bench::longSweepPlan();
    std::uint64_t samples = 0;
    double ppm = 0;
    for (auto _ : state) {
        const std::vector<std::int16_t> recording = bench::readWholeRecording(path);
        if (recording.empty()) {
            state.SkipWithError("cannot read the recording");
            break;
        }
        samples = recording.size();
        const std::vector<analysis::Sample> held(recording.begin(), recording.end());
        const analysis::ClockCorrectedSweep sweep = analysis::measureWithClockCorrection(plan, held);
        if (sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        ppm = sweep.clock.ppm;
        benchmark::DoNotOptimize(sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
    state.counters["clock_ppm"] = ppm;
}
BENCHMARK(BM_ClockCorrectedFromFile)->Unit(benchmark::kMillisecond);

// The measurement alone, on one clock and on a recorder 20 ppm fast.
void BM_ClockCorrectedInMemory(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    std::vector<std::int16_t> recording = bench::readWholeRecording(longRecording());
    if (recording.empty()) {
        state.SkipWithError("cannot read the recording");
        return;
    }
    const double ppm = static_cast<double>(state.range(0));
    if (ppm != 0) recording = bench::recordedOnClock(recording, ppm);
    bench::timeClockCorrection(state, plan, recording);
}
BENCHMARK(BM_ClockCorrectedInMemory)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

// The two building blocks on a 4800-sample block.
void BM_SineFit(benchmark::State& state) {
    const std::vector<std::int16_t> block = bench::toneBlock(4800);
    for (auto _ : state) benchmark::DoNotOptimize(clock::fitSine(block.data(), 4800, 0.25, 0.1309));
    state.SetItemsProcessed(state.iterations() * 4800);
}
BENCHMARK(BM_SineFit);

void BM_FrequencyEstimate(benchmark::State& state) {
    const std::vector<std::int16_t> block = bench::toneBlock(4800);
    const double frequency = 0.1309 * 48000 / 6.283185307179586;
    for (auto _ : state) benchmark::DoNotOptimize(clock::estimateFrequency(block.data(), 4800, frequency, 48000));
    state.SetItemsProcessed(state.iterations() * 4800);
}
BENCHMARK(BM_FrequencyEstimate);

}  // namespace

BENCHMARK_MAIN();
