// Speed of the measurer: samples per second through the tone analyzer, and the
// whole analysis of a long recording in recording samples per second.
//
//   measurer_bench --write-long-sweep FOLDER   writes the long recording and its
//                                              parameter file, then exits
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_recordings.h"
#include "long_sweep.h"
#include "measurer/analysis_loop.h"
#include "measurer/sine_cosine.h"
#include "measurer/tone_analyzer.h"
#include "sweep/sweep_layout.h"

namespace {

using namespace auralyn;

std::vector<std::int16_t> toneBlock(std::int32_t count) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) block[i] = static_cast<std::int16_t>(std::lround(30000.0 * std::sin(0.1309 * i + 0.2)));
    return block;
}

void BM_ToneAnalyzer(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    const std::vector<std::int16_t> block = toneBlock(count);
    measurer::ToneAnalyzer analyzer(block.data());
    analyzer.setSampleRate(48000);
    analyzer.setTone(1000.0, count);
    for (auto _ : state) {
        analyzer.samplesChanged();
        benchmark::DoNotOptimize(analyzer.amplitude());
        benchmark::DoNotOptimize(analyzer.phase());
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetLabel(measurer::sineCosineImplementation());
}
BENCHMARK(BM_ToneAnalyzer)->Arg(960)->Arg(4800)->Arg(48000);

void BM_SineCosine(benchmark::State& state, bool vectorised) {
    double angles[measurer::kSineCosineBlock], sines[measurer::kSineCosineBlock], cosines[measurer::kSineCosineBlock];
    for (std::size_t i = 0; i < measurer::kSineCosineBlock; ++i) angles[i] = 0.37 * static_cast<double>(i);
    for (auto _ : state) {
        if (vectorised) {
            measurer::sineCosine(angles, sines, cosines, measurer::kSineCosineBlock);
        } else {
            measurer::sineCosinePlain(angles, sines, cosines, measurer::kSineCosineBlock);
        }
        benchmark::DoNotOptimize(sines);
        benchmark::DoNotOptimize(cosines);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(measurer::kSineCosineBlock));
}
BENCHMARK_CAPTURE(BM_SineCosine, chosen, true);
BENCHMARK_CAPTURE(BM_SineCosine, plain, false);

void BM_AnalyzeLongRecording(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "auralyn-measurer-bench";
    std::filesystem::create_directories(folder);
    const std::uint64_t samples = bench::writeLongSweep(folder.string());
    const std::string recordingPath = (folder / "rec.wav").string();
    for (auto _ : state) {
        sweep::SweepPlan plan = bench::longSweepPlan();
        wave::WaveFile recording;
        if (!recording.openRead(recordingPath.c_str())) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        recording.skipSamples(sweep::measurerLeadInSamples(plan.params()));
        std::vector<measurer::ToneResult> results;
        bool ok = false;
        {
            bench::QuietStdout quiet;
            ok = measurer::analyzeRecording(plan, recording, results, plan.toneCount());
        }
        if (!ok || results.size() != plan.toneCount()) {
            state.SkipWithError("the analysis failed");
            break;
        }
        benchmark::DoNotOptimize(results.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
    state.counters["recording_samples"] = static_cast<double>(samples);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_AnalyzeLongRecording)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-long-sweep") == 0) {
        const std::uint64_t samples = auralyn::bench::writeLongSweep(argv[2]);
        std::printf("%llu samples\n", static_cast<unsigned long long>(samples));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
