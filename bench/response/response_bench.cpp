// Every operation of the response library on a 2,000-tone response: a
// loudspeaker-like band-pass with a comb of reflections behind 1.3 ms of
// flight, tones spread over 20 Hz – 20 kHz (about 200 per octave), with
// intervals and two carried columns. Each must stay under 10 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>

#include "response/averaging.h"
#include "response/delay.h"
#include "response/frequency_table.h"
#include "response/interpolation.h"
#include "response/minimum_phase.h"
#include "response/phase.h"
#include "response/response_reader.h"
#include "response/response_table.h"
#include "response/smoothing.h"

namespace {

using namespace auralyn::response;

constexpr std::size_t kTones = 2000;

std::complex<double> speaker(double f) {
    const std::complex<double> s(0.0, f / 60.0), t(0.0, f / 7000.0);
    const std::complex<double> highpass = s * s / (s * s + s / 0.8 + 1.0), lowpass = 1.0 / (t * t + t / 0.7 + 1.0);
    const std::complex<double> reflection = 1.0 + 0.3 * std::polar(1.0, -2.0 * kPi * f * 0.7e-3);
    return highpass * lowpass * reflection * std::polar(1.0, -2.0 * kPi * f * 1.3e-3);
}

Response makeResponse(double gainDb) {
    Response r;
    r.sampleRate = 48000.0;
    r.extraColumns = {"thd_db", "snr_db"};
    std::vector<double> phase;
    for (std::size_t i = 0; i < kTones; ++i) {
        Tone tone;
        tone.frequency = 20.0 * std::pow(1000.0, static_cast<double>(i) / (kTones - 1));
        tone.magnitude = std::abs(speaker(tone.frequency)) * fromDecibels(gainDb);
        phase.push_back(std::arg(speaker(tone.frequency)));
        tone.magnitudeU95Db = 0.05;
        tone.phaseU95Deg = 0.3;
        tone.extra = {-60.0, 80.0};
        r.tones.push_back(tone);
    }
    phase = unwrapRadians(phase);
    for (std::size_t i = 0; i < kTones; ++i) r.tones[i].phase = phase[i];
    return r;
}

const Response& response() {
    static const Response r = makeResponse(0.0);
    return r;
}

void BM_SmoothThirdOctavePower(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(smooth(response(), {3, SmoothingMode::power, false}));
}
void BM_SmoothSixthOctaveComplex(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(smooth(response(), {6, SmoothingMode::complex, false}));
}
void BM_SmoothVariable(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(smooth(response(), {0, SmoothingMode::power, true}));
}
void BM_MinimumPhase(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(minimumPhase(response()));
}
void BM_FindAndRemoveDelay(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(removeDelay(response(), findDelay(response()).seconds));
}
void BM_GroupDelay(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(groupDelay(response()));
}
void BM_ExcessGroupDelay(benchmark::State& state) {
    for (auto _ : state) {
        const MinimumPhase minimum = minimumPhase(response());
        benchmark::DoNotOptimize(groupDelay(frequencies(response()), excessPhase(response(), minimum)));
    }
}
void BM_AverageVectorOfFour(benchmark::State& state) {
    std::vector<NamedResponse> inputs;
    for (int k = 0; k < 4; ++k) inputs.push_back({"run" + std::to_string(k), makeResponse(0.1 * k)});
    for (auto _ : state) benchmark::DoNotOptimize(average(inputs, {AverageMode::vector, 1000.0, false}));
}
void BM_AverageOfOtherToneLists(benchmark::State& state) {
    std::vector<NamedResponse> inputs{{"a", response()}, {"b", resampleOnLogGrid(response(), 96)}};
    for (auto _ : state) benchmark::DoNotOptimize(average(inputs, {AverageMode::power, std::nullopt, false}));
}
void BM_Difference(benchmark::State& state) {
    const NamedResponse a{"a", response()}, b{"b", makeResponse(1.0)};
    for (auto _ : state) benchmark::DoNotOptimize(difference(a, b));
}
void BM_ResampleOnLogGrid(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(resampleOnLogGrid(response(), 48));
}
void BM_WriteFrd(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(frdText(response(), {"bench"}, false));
}
void BM_WriteAndReadCsv(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(parseCsvResponse(csvText(responseColumns(response(), true)), "b.csv"));
}
void BM_WriteAndReadJson(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(parseJsonResponse(jsonText({}, responseColumns(response(), true)), "b.json"));
}

BENCHMARK(BM_SmoothThirdOctavePower)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothSixthOctaveComplex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothVariable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinimumPhase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindAndRemoveDelay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupDelay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExcessGroupDelay)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AverageVectorOfFour)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AverageOfOtherToneLists)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Difference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResampleOnLogGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFrd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAndReadCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAndReadJson)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
