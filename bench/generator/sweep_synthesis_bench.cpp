// Speed of the sweep synthesis: every sample one sine and one buffered write.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_recordings.h"
#include "long_sweep.h"
#include "generator/sweep_synthesis.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

void BM_GenerateLongSweep(benchmark::State& state) {
    sweep::SweepPlan plan = bench::longSweepPlan();
    const auto samples = static_cast<std::int64_t>(sweep::sweepSampleCount(plan));
    bench::QuietStdout quiet;
    for (auto _ : state) {
        wave::WaveFile wave;
        wave.openWrite("/dev/null");
        wave.setFormat(44100, 16, 1);
        wave.setSampleRate(48000);
        benchmark::DoNotOptimize(generator::generateSweep(plan, wave));
    }
    state.SetItemsProcessed(state.iterations() * samples);
}
BENCHMARK(BM_GenerateLongSweep)->Unit(benchmark::kMillisecond);

void BM_WriteTone(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    wave::WaveFile wave;
    wave.openWrite("/dev/null");
    wave.setFormat(48000, 16, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(generator::writeTone(997.0, -1.25, 100, count, wave));
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_WriteTone)->Arg(48000);

}  // namespace
}  // namespace auralyn

BENCHMARK_MAIN();
