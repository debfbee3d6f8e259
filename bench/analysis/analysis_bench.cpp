// Speed of the measurement `auralyn analyze` makes, in recording samples per
// second on one core (per CPU second), beside echoprobe's walk in the same
// run, on the measurer benchmark's long linear sweep (13.7 million samples):
// the clock correction alone, and the whole analysis (clock, harmonic fit,
// lead-in noise, uncertainty, clipping check) minus the file output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "bench_recordings.h"
#include "clocked_recording.h"
#include "long_sweep.h"
#include "analysis/clock_corrected_sweep.h"
#include "analysis/recording_analysis.h"
#include "analysis/sweep_analysis.h"
#include "wave/wave_file.h"

namespace {

using namespace auralyn;

const std::string& longRecording() {
    static const std::string path = bench::longRecordingIn("auralyn-analysis-bench");
    return path;
}

const std::vector<std::int16_t>& recordingAt(double ppm) {
    static const std::vector<std::int16_t> plain = bench::readWholeRecording(longRecording());
    static const std::vector<std::int16_t> fast = bench::recordedOnClock(plain, 20.0);
    return ppm == 0.0 ? plain : fast;
}

// echoprobe's walk as `auralyn analyze --clock-correction off` runs it.
void BM_EchoprobeWalk(benchmark::State& state) {
    const std::string& path = longRecording();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        sweep::SweepPlan plan = bench::longSweepPlan();
        wave::WaveFile recording;
        if (!recording.openRead(path.c_str())) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        samples = recording.dataSize / 2;
        const analysis::SweepAnalysis analysis = analysis::analyzeSweep(plan, recording);
        if (!analysis.complete()) state.SkipWithError("the walk failed");
        benchmark::DoNotOptimize(analysis.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_EchoprobeWalk)->Unit(benchmark::kMillisecond);

void BM_ClockCorrectionAlone(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& recording = recordingAt(static_cast<double>(state.range(0)));
    double ppm = 0.0;
    for (auto _ : state) {
        const analysis::ClockCorrectedSweep sweep = analysis::measureWithClockCorrection(plan, recording);
        if (sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        ppm = sweep.clock.ppm;
        benchmark::DoNotOptimize(sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
    state.counters["clock_ppm"] = ppm;
}
BENCHMARK(BM_ClockCorrectionAlone)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_FullAnalysis(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& recording = recordingAt(static_cast<double>(state.range(0)));
    double ppm = 0.0;
    for (auto _ : state) {
        const analysis::RecordingAnalysis analysis = analysis::analyzeRecording(plan, analysis::RecordingChannels{recording});
        if (analysis.sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        ppm = analysis.clock.ppm;
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
    state.counters["clock_ppm"] = ppm;
}
BENCHMARK(BM_FullAnalysis)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

// The whole analysis from the file, reading included.
void BM_FullAnalysisFromFile(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        const std::vector<std::int16_t> recording = bench::readWholeRecording(longRecording());
        samples = recording.size();
        const analysis::RecordingAnalysis analysis = analysis::analyzeRecording(plan, analysis::RecordingChannels{recording});
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_FullAnalysisFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
