// Speed of the per-tone measurement (joint harmonic fit, lead-in noise floor,
// 95 % intervals): one tone, and every tone of the long recording in recording
// samples per second.
//
//   distortion_bench --write-long-sweep FOLDER   writes rec.wav, sweep.swp and
//                                                tones.txt (the blocks), then exits
//   distortion_bench --measure FOLDER            prints every tone's result, for
//                                                the numpy yardstick to compare
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "long_sweep.h"
#include "long_sweep_tones.h"
#include "analysis/tone_quality.h"

namespace {

using namespace auralyn;

analysis::ToneQuality measureSpan(const bench::LoadedSweep& sweep, const bench::ToneSpan& tone) {
    return analysis::measureTone(sweep.samples.data() + tone.start, tone.length, 0.0,
                                    tone.frequency / sweep.sampleRate, {sweep.samples.data(), sweep.leadIn});
}

void BM_ToneQuality(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<analysis::Sample> samples(168000 + count);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(30000.0 * std::sin(0.1309 * i + 0.2) + (i * 7919 % 13) - 6.0));
    const analysis::LeadInSpan leadIn{samples.data() + count, 168000};
    for (auto _ : state) {
        const analysis::ToneQuality q = analysis::measureTone(samples.data(), count, -0.25, 0.1309 / 6.283185307179586, leadIn);
        benchmark::DoNotOptimize(q.thdDb);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_ToneQuality)->Arg(960)->Arg(4800)->Arg(48000);

void BM_DistortionLongSweep(benchmark::State& state) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "auralyn-distortion-bench";
    std::filesystem::create_directories(folder);
    bench::writeLongSweep(folder.string());
    const bench::LoadedSweep sweep = bench::loadLongSweep(folder.string());
    std::filesystem::remove_all(folder);
    for (auto _ : state) {
        double sum = 0.0;
        for (const bench::ToneSpan& tone : sweep.tones) {
            const analysis::ToneQuality q = measureSpan(sweep, tone);
            sum += q.amplitude + q.magnitudeU95Db + q.noiseFloorDbfs.value_or(0.0);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sweep.samples.size()));
    state.counters["recording_samples"] = static_cast<double>(sweep.samples.size());
    state.counters["tones"] = static_cast<double>(sweep.tones.size());
}
BENCHMARK(BM_DistortionLongSweep)->Unit(benchmark::kMillisecond)->UseRealTime();

int printMeasurements(const std::string& folder) {
    const bench::LoadedSweep sweep = bench::loadLongSweep(folder);
    for (const bench::ToneSpan& tone : sweep.tones) {
        const analysis::ToneQuality q = measureSpan(sweep, tone);
        std::printf("%.17g %.17g %.17g %.17g %.17g\n", tone.frequency, q.amplitude, q.phase,
                    q.thdnDb.value_or(0.0), q.noiseFloorDbfs.value_or(0.0));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-long-sweep") == 0) {
        const std::uint64_t samples = auralyn::bench::writeLongSweep(argv[2]);
        auralyn::bench::writeToneSpans(argv[2], auralyn::bench::loadLongSweep(argv[2]));
        std::printf("%llu samples\n", static_cast<unsigned long long>(samples));
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) return printMeasurements(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
