// Speed of the clock-corrected measurement of a whole recording, in recording
// samples per second on one core, against echoprobe's walk in the same run:
// both on the measurer benchmark's long linear sweep (13.7 million samples),
// recorded on one clock and 20 ppm fast. Rates are per CPU second.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "long_sweep.h"
#include "measurement/clock/sine_fit.h"
#include "measurement/clock/tone_frequency.h"
#include "measurement/clock_corrected_sweep.h"
#include "measurer/analysis_loop.h"
#include "measurer/recording_walk.h"
#include "measurer/tone_analyzer.h"
#include "sweep/sweep_layout.h"
#include "wave/wave_file.h"

#ifdef AURALYN_HAVE_DEVICESIM
#include "devicesim/device_processor.h"
#endif

namespace {

using namespace auralyn;

// Progress lines go to /dev/null while echoprobe's loop runs.
class QuietStdout {
public:
    QuietStdout() : saved_(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }

private:
    int saved_;
};

// The long recording, written once per run.
const std::string& longRecording() {
    static const std::string path = [] {
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "auralyn-clock-bench";
        std::filesystem::create_directories(folder);
        bench::writeLongSweep(folder.string());
        return (folder / "rec.wav").string();
    }();
    return path;
}

bool readWhole(const std::string& path, std::vector<std::int16_t>& samples) {
    WaveFile wave;
    if (!wave.openRead(path.c_str()) || wave.bitsPerSample != 16 || wave.channels != 1) return false;
    samples.resize(wave.dataSize / 2);
    return samples.empty() || wave.readSamples(samples.data(), static_cast<std::int32_t>(samples.size()));
}

// The same sweep recorded `ppm` fast: through the device simulator's
// resampler where it is built, else by linear interpolation (which blurs the
// highest tones a little, but costs the measurement the same).
std::vector<std::int16_t> stretched(const std::vector<std::int16_t>& played, double ppm) {
#ifdef AURALYN_HAVE_DEVICESIM
    std::string error;
    auto processor = devicesim::DeviceProcessor::create(devicesim::Device{{devicesim::ClockPart{ppm}}}, 48000, error);
    std::vector<double> signal(played.begin(), played.end()), rest;
    if (!processor || !processor->process(signal, error) || !processor->finish(rest, error)) return {};
    signal.insert(signal.end(), rest.begin(), rest.end());
    std::vector<std::int16_t> out(signal.size());
    for (std::size_t k = 0; k < out.size(); ++k) out[k] = static_cast<std::int16_t>(std::lround(signal[k]));
    return out;
#else
    const double ratio = 1.0 + ppm * 1e-6;
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::llround(played.size() * ratio)));
    for (std::size_t k = 0; k < out.size(); ++k) {
        const double t = static_cast<double>(k) / ratio;
        const auto i = static_cast<std::size_t>(t);
        const double f = t - static_cast<double>(i);
        const double a = played[std::min(i, played.size() - 1)], b = played[std::min(i + 1, played.size() - 1)];
        out[k] = static_cast<std::int16_t>(std::lround(a + (b - a) * f));
    }
    return out;
#endif
}

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
        recording.skipSamples(measurerLeadInSamples(plan.params()));
        std::vector<ToneResult> results;
        bool ok = false;
        {
            QuietStdout quiet;
            ok = analyzeRecording(plan, recording, results, plan.toneCount());
        }
        if (!ok) state.SkipWithError("the walk failed");
        benchmark::DoNotOptimize(results.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_EchoprobeWalk)->Unit(benchmark::kMillisecond);

// The walk with echoprobe's tone analyzer alone, as it ran before the clock
// warning was added to it.
void BM_WalkWithToneAnalyzerOnly(benchmark::State& state) {
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
        recording.skipSamples(measurerLeadInSamples(plan.params()));
        ToneAnalyzer analyzer(nullptr);
        analyzer.setSampleRate(plan.params().sampleRate);
        std::vector<ToneResult> results;
        walkRecording(plan, recording, [&](const ToneBlock& block) {
            analyzer.setSamples(block.samples);
            analyzer.setTone(block.frequency, block.length);
            analyzer.samplesChanged();
            results.push_back(ToneResult{block.frequency, analyzer.amplitude(), analyzer.phase()});
            return true;
        });
        benchmark::DoNotOptimize(results.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
}
BENCHMARK(BM_WalkWithToneAnalyzerOnly)->Unit(benchmark::kMillisecond);

// Reading the file whole and measuring it, as `auralyn analyze` will.
void BM_ClockCorrectedFromFile(benchmark::State& state) {
    const std::string& path = longRecording();
    const SweepPlan plan = bench::longSweepPlan();
    std::uint64_t samples = 0;
    double ppm = 0;
    for (auto _ : state) {
        std::vector<std::int16_t> recording;
        if (!readWhole(path, recording)) {
            state.SkipWithError("cannot read the recording");
            break;
        }
        samples = recording.size();
        const ClockCorrectedSweep sweep = measureWithClockCorrection(plan, recording);
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
    const SweepPlan plan = bench::longSweepPlan();
    std::vector<std::int16_t> recording;
    if (!readWhole(longRecording(), recording)) {
        state.SkipWithError("cannot read the recording");
        return;
    }
    const double ppm = static_cast<double>(state.range(0));
    if (ppm != 0) recording = stretched(recording, ppm);
    double found = 0;
    for (auto _ : state) {
        const ClockCorrectedSweep sweep = measureWithClockCorrection(plan, recording);
        if (sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        found = sweep.clock.ppm;
        benchmark::DoNotOptimize(sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
    state.counters["clock_ppm"] = found;
}
BENCHMARK(BM_ClockCorrectedInMemory)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);

// The two building blocks on a 4800-sample block.
std::vector<std::int16_t> toneBlock(std::int32_t count) {
    std::vector<std::int16_t> block(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) block[i] = static_cast<std::int16_t>(std::lround(30000.0 * std::sin(0.1309 * i + 0.2)));
    return block;
}

void BM_SineFit(benchmark::State& state) {
    const std::vector<std::int16_t> block = toneBlock(4800);
    for (auto _ : state) benchmark::DoNotOptimize(clock::fitSine(block.data(), 4800, 0.25, 0.1309));
    state.SetItemsProcessed(state.iterations() * 4800);
}
BENCHMARK(BM_SineFit);

void BM_FrequencyEstimate(benchmark::State& state) {
    const std::vector<std::int16_t> block = toneBlock(4800);
    const double frequency = 0.1309 * 48000 / 6.283185307179586;
    for (auto _ : state) benchmark::DoNotOptimize(clock::estimateFrequency(block.data(), 4800, frequency, 48000));
    state.SetItemsProcessed(state.iterations() * 4800);
}
BENCHMARK(BM_FrequencyEstimate);

}  // namespace

BENCHMARK_MAIN();
