// Speed of the measurement `auralyn analyze` makes, in recording samples per
// second on one core (per CPU second), beside echoprobe's walk in the same
// run, on the measurer benchmark's long linear sweep (13.7 million samples):
// the clock correction alone, and the whole analysis (clock, harmonic fit,
// lead-in noise, uncertainty, clipping check) minus the file output.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "long_sweep.h"
#include "measurement/clock_corrected_sweep.h"
#include "measurement/recording_analysis.h"
#include "measurement/sweep_analysis.h"
#include "wave/wave_file.h"

#ifdef AURALYN_HAVE_DEVICESIM
#include "devicesim/device_processor.h"
#endif

namespace {

using namespace auralyn;

const std::string& longRecording() {
    static const std::string path = [] {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "auralyn-analysis-bench";
        std::filesystem::create_directories(folder);
        bench::writeLongSweep(folder.string());
        return (folder / "rec.wav").string();
    }();
    return path;
}

std::vector<std::int16_t> readWhole(const std::string& path) {
    WaveFile wave;
    std::vector<std::int16_t> samples;
    if (!wave.openRead(path.c_str()) || wave.bitsPerSample != 16 || wave.channels != 1) return samples;
    samples.resize(wave.dataSize / 2);
    if (!wave.readSamples(samples.data(), static_cast<std::int32_t>(samples.size()))) samples.clear();
    return samples;
}

// The recording on a recorder `ppm` fast: through the device simulator's
// resampler where it is built, else by linear interpolation (which smears the
// top tones so far that the clock may not be measured there).
std::vector<std::int16_t> stretched(const std::vector<std::int16_t>& played, double ppm) {
#ifdef AURALYN_HAVE_DEVICESIM
    std::string error;
    auto processor = devicesim::DeviceProcessor::create(devicesim::Device{{devicesim::ClockPart{ppm}}}, 48000, error);
    std::vector<double> signal(played.begin(), played.end()), rest;
    if (!processor || !processor->process(signal, error) || !processor->finish(rest, error)) return {};
    signal.insert(signal.end(), rest.begin(), rest.end());
    std::vector<std::int16_t> resampled(signal.size());
    for (std::size_t k = 0; k < resampled.size(); ++k) resampled[k] = static_cast<std::int16_t>(std::lround(signal[k]));
    return resampled;
#endif
    const double ratio = 1.0 + ppm * 1e-6;
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::llround(static_cast<double>(played.size()) * ratio)));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double t = static_cast<double>(k) / ratio;
        const auto i = std::min(static_cast<std::size_t>(t), played.size() - 2);
        const double f = t - static_cast<double>(i);
        out[k] = static_cast<std::int16_t>(std::lround(played[i] + (played[i + 1] - played[i]) * f));
    }
    return out;
}

const std::vector<std::int16_t>& recordingAt(double ppm) {
    static const std::vector<std::int16_t> plain = readWhole(longRecording());
    static const std::vector<std::int16_t> fast = stretched(plain, 20.0);
    return ppm == 0.0 ? plain : fast;
}

// echoprobe's walk as `auralyn analyze --clock-correction off` runs it.
void BM_EchoprobeWalk(benchmark::State& state) {
    const std::string& path = longRecording();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        SweepPlan plan = bench::longSweepPlan();
        WaveFile recording;
        if (!recording.openRead(path.c_str())) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        samples = recording.dataSize / 2;
        const SweepAnalysis analysis = analyzeSweep(plan, recording);
        if (!analysis.complete()) state.SkipWithError("the walk failed");
        benchmark::DoNotOptimize(analysis.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_EchoprobeWalk)->Unit(benchmark::kMillisecond);

void BM_ClockCorrectionAlone(benchmark::State& state) {
    const SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& recording = recordingAt(static_cast<double>(state.range(0)));
    double ppm = 0.0;
    for (auto _ : state) {
        const ClockCorrectedSweep sweep = measureWithClockCorrection(plan, recording);
        if (sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        ppm = sweep.clock.ppm;
        benchmark::DoNotOptimize(sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
    state.counters["clock_ppm"] = ppm;
}
BENCHMARK(BM_ClockCorrectionAlone)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

void BM_FullAnalysis(benchmark::State& state) {
    const SweepPlan plan = bench::longSweepPlan();
    const std::vector<std::int16_t>& recording = recordingAt(static_cast<double>(state.range(0)));
    double ppm = 0.0;
    for (auto _ : state) {
        const RecordingAnalysis analysis = analyzeRecording(plan, RecordingChannels{recording});
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
    const SweepPlan plan = bench::longSweepPlan();
    std::uint64_t samples = 0;
    for (auto _ : state) {
        const std::vector<std::int16_t> recording = readWhole(longRecording());
        samples = recording.size();
        const RecordingAnalysis analysis = analyzeRecording(plan, RecordingChannels{recording});
        benchmark::DoNotOptimize(analysis.sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_FullAnalysisFromFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
