// Speed of the sweep synthesis: every sample one sine and one buffered write.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "generator/parameter_dialogue.h"
#include "generator/sweep_synthesis.h"
#include "sweep/sweep_layout.h"

namespace auralyn {
namespace {

// 20 Hz to 20 kHz in 10 Hz steps, 0.1 s per tone: about 14 million samples.
sweep::SweepPlan longLinearSweep() {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setOctaveSweep(0);
    plan.setStartFrequency(20);
    plan.setEndFrequency(20000);
    plan.setFrequencyStep(10);
    plan.setMinToneDuration(0.1);
    plan.setSettlingTime(0.04);
    generator::storeAdvancedDefaults(plan);
    generator::storeFixedValues(plan);
    plan.lock();
    return plan;
}

// Sends the progress lines to /dev/null while it lives.
class QuietStandardOutput {
public:
    QuietStandardOutput() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        close(devNull);
    }
    ~QuietStandardOutput() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    QuietStandardOutput(const QuietStandardOutput&) = delete;
    QuietStandardOutput& operator=(const QuietStandardOutput&) = delete;

private:
    int saved_;
};

void BM_GenerateLongSweep(benchmark::State& state) {
    sweep::SweepPlan plan = longLinearSweep();
    const auto samples = static_cast<std::int64_t>(sweep::sweepSampleCount(plan));
    QuietStandardOutput quiet;
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
