// Speed of the measurement `auralyn analyze` makes, in recording samples per
// second on one core (per CPU second), beside echoprobe's walk in the same
// run, on the measurer benchmark's long linear sweep (13.7 million samples)
// and on the dense sweep of the end-to-end figure (6.1 million samples):
// the clock correction alone, and the whole analysis (clock, harmonic fit,
// lead-in noise, uncertainty, clipping check) minus the file output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench_recordings.h"
#include "clock_correction_pass.h"
#include "clocked_recording.h"
#include "long_sweep.h"
#include "recording_passes.h"
#include "analysis/clock_corrected_sweep.h"
#include "analysis/recording_analysis.h"
#include "analysis/sweep_analysis.h"
#include "analysis/recording_pulse.h"
#ifdef AURALYN_HAVE_SWEEP_LOCATOR
#include "analysis/sweep_locator.h"
#endif
#include "measurer/analysis_loop.h"
#include "sweep/sweep_layout.h"
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

// echoprobe's walk as `auralyn analyze --clock-correction off` runs it
// (amplitude and phase only, no clock warning).
void BM_EchoprobeWalk(benchmark::State& state) {
    bench::timeRecordingPasses(state, longRecording(), "the walk failed", [](sweep::SweepPlan& plan, wave::WaveFile& recording) {
        const analysis::SweepAnalysis analysis = analysis::analyzeSweep(plan, recording);
        benchmark::DoNotOptimize(analysis.tones.data());
        return analysis.complete();
    });
}
BENCHMARK(BM_EchoprobeWalk)->Unit(benchmark::kMillisecond);

// echoprobe itself: its walk, report rows and clock warning, console quiet.
void timeEchoprobe(benchmark::State& state, const std::string& path, const sweep::SweepPlan& schedule) {
    std::uint64_t samples = 0;
    for (auto _ : state) {
        sweep::SweepPlan plan = schedule;
        wave::WaveFile recording;
        if (!recording.openRead(path.c_str()) || !recording.skipSamples(sweep::measurerLeadInSamples(plan.params()))) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        samples = recording.dataSize / 2;
        std::vector<measurer::ToneResult> results;
        bool ok = false;
        {
            bench::QuietStdout quiet;
            ok = measurer::analyzeRecording(plan, recording, results, plan.toneCount());
        }
        if (!ok) state.SkipWithError("the walk failed");
        benchmark::DoNotOptimize(results.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}

void BM_EchoprobeWithClockWarning(benchmark::State& state) {
    timeEchoprobe(state, longRecording(), bench::longSweepPlan());
}
BENCHMARK(BM_EchoprobeWithClockWarning)->Unit(benchmark::kMillisecond);

void BM_ClockCorrectionAlone(benchmark::State& state) {
    bench::timeClockCorrection(state, bench::longSweepPlan(), recordingAt(static_cast<double>(state.range(0))));
}
BENCHMARK(BM_ClockCorrectionAlone)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_FullAnalysis(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& codes = recordingAt(static_cast<double>(state.range(0)));
    const std::vector<analysis::Sample> recording(codes.begin(), codes.end());
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

// The dense sweep of the end-to-end figure (1999 short tones, where the work
// per tone counts most), written once as the generator lays it out.
const std::string& denseRecording() {
    static const std::string path = [] {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "auralyn-dense-bench";
        std::filesystem::create_directories(folder);
        bench::writeSweep(bench::denseSweepPlan(), folder.string());
        return (folder / "rec.wav").string();
    }();
    return path;
}

void BM_EchoprobeDenseSweep(benchmark::State& state) { timeEchoprobe(state, denseRecording(), bench::denseSweepPlan()); }
BENCHMARK(BM_EchoprobeDenseSweep)->Unit(benchmark::kMillisecond);

// The whole analysis of the dense sweep in memory (the file's reading and the
// JSON's writing are left to bench/analysis/end_to_end.sh).
void BM_FullAnalysisDenseSweep(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::denseSweepPlan();
    const std::vector<std::int16_t> codes = bench::readWholeRecording(denseRecording());
    const std::vector<analysis::Sample> recording(codes.begin(), codes.end());
    for (auto _ : state) {
        const analysis::RecordingAnalysis analysis = analysis::analyzeRecording(plan, analysis::RecordingChannels{recording});
        if (analysis.sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
}
BENCHMARK(BM_FullAnalysisDenseSweep)->Unit(benchmark::kMillisecond);

// The whole analysis from the file, reading included.
void BM_FullAnalysisFromFile(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        const std::vector<std::int16_t> codes = bench::readWholeRecording(longRecording());
        const std::vector<analysis::Sample> recording(codes.begin(), codes.end());
        samples = recording.size();
        const analysis::RecordingAnalysis analysis = analysis::analyzeRecording(plan, analysis::RecordingChannels{recording});
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_FullAnalysisFromFile)->Unit(benchmark::kMillisecond);

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
// Finding the sweep by its tones alone (the matched filter of its
// stretches): near the first pulse's trigger (Arg 1) and searching the whole
// recording (Arg 0), against the full analysis above.
void BM_LocateSweep(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& codes = recordingAt(0.0);
    const std::vector<analysis::Sample> recording(codes.begin(), codes.end());
    const analysis::SweepTemplate sweep = analysis::sweepTemplate(plan);
    const bool hinted = state.range(0) != 0;
    for (auto _ : state) {
        std::optional<double> hint;
        if (hinted) {
            const auto trigger = analysis::findFirstTrigger(plan, recording);
            if (trigger) hint = static_cast<double>(*trigger);
        }
        const analysis::SweepLocation found =
            analysis::locateSweep(sweep, analysis::RecordingView::of(std::span<const analysis::Sample>(recording)), hint);
        if (!found.found) state.SkipWithError("sweep not found");
        benchmark::DoNotOptimize(found.start);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
}
BENCHMARK(BM_LocateSweep)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// The whole analysis of the same recording 40 dB down, its pulse far below
// the threshold: the tones alone place it (the start refined before the walk).
void BM_FullAnalysisWithoutPulse(benchmark::State& state) {
    const sweep::SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& codes = recordingAt(0.0);
    std::vector<analysis::Sample> recording;
    recording.reserve(codes.size());
    for (const std::int16_t code : codes) recording.push_back(std::nearbyint(0.01f * static_cast<float>(code)));
    for (auto _ : state) {
        const analysis::RecordingAnalysis analysis = analysis::analyzeRecording(plan, analysis::RecordingChannels{recording});
        if (!analysis.located || analysis.sync != analysis::TimeBase::Sweep) state.SkipWithError("not found by its tones");
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
}
BENCHMARK(BM_FullAnalysisWithoutPulse)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
