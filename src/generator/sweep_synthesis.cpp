#include "generator/sweep_synthesis.h"

#include <cmath>
#include <cstdio>

#include "sweep/sweep_layout.h"

namespace auralyn::generator {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTonePercent = 100.0;

std::int16_t roundedSample(double value) {
    if (value > 0) return static_cast<std::int16_t>(std::trunc(value + 0.5));
    if (value < 0) return static_cast<std::int16_t>(std::trunc(value - 0.5));
    return 0;
}

bool writeSyncBlock(const sweep::SweepParameters& p, wave::WaveFile& wave) {
    return writeLevel(sweep::syncSettlingSamples(p), 0.0, wave) && writeLevel(sweep::syncDriftSamples(p), 0.0, wave) &&
           writeLevel(sweep::syncPulseSamples(p), p.syncPulseLevel, wave);
}

// Lead, measured block and tail as one sine, phase 0 on the first sample of the block.
bool writeScheduledTone(const sweep::SweepPlan& plan, wave::WaveFile& wave) {
    const sweep::SweepParameters& p = plan.params();
    const std::int32_t lead = plan.settlingSamples();
    const double startPhase = plan.phaseAtSample(-lead);
    const std::int32_t tail = plan.driftSamples();
    const std::int64_t count = std::int64_t{lead} + p.toneLength + tail;
    return writeTone(p.toneFrequency, startPhase, kTonePercent, static_cast<std::int32_t>(count), wave);
}

void printProgress(double percent) {
    std::printf("\r%.0f%%  ", percent);
    std::fflush(stdout);
}

}  // namespace

bool writeLevel(std::int32_t count, double percent, wave::WaveFile& wave) {
    if (wave.bitsPerSample != 16) return true;
    const auto level = static_cast<std::int16_t>(sweep::percentToAmplitude(percent));
    for (std::int32_t i = 0; i < count; ++i)
        if (!wave.writeSample(level)) return false;
    return true;
}

bool writeTone(double frequency, double startPhase, double percent, std::int32_t count, wave::WaveFile& wave) {
    if (wave.bitsPerSample != 16) return true;
    const double step = kTwoPi * frequency / static_cast<double>(wave.sampleRate);
    const double amplitude = static_cast<std::int16_t>(sweep::percentToAmplitude(percent));
    // The angle comes from the index every time: a running sum would drift from
    // the phase the measurer expects.
    for (std::int32_t i = 0; i < count; ++i) {
        const double angle = static_cast<double>(i) * step + startPhase;
        const double value = amplitude * std::sin(angle);
        if (!wave.writeSample(roundedSample(value))) return false;
    }
    return true;
}

bool synthesizeSweep(sweep::SweepPlan& plan, wave::WaveFile& wave, const std::function<void(double)>& progress) {
    plan.rewind();
    const sweep::SweepParameters& p = plan.params();
    if (!writeLevel(sweep::generatorLeadInSamples(p), 0.0, wave)) return false;
    do {
        if (plan.isSyncTone() && !writeSyncBlock(p, wave)) return false;
        if (!writeScheduledTone(plan, wave)) return false;
        if (progress) progress(plan.percentDone());
    } while (plan.nextTone());
    return true;
}

bool generateSweep(sweep::SweepPlan& plan, wave::WaveFile& wave) {
    std::printf("\nGenerating tones. Percent done:\n");
    std::fflush(stdout);
    if (!synthesizeSweep(plan, wave, printProgress)) return false;
    std::printf("\r100%%  \n");
    std::fflush(stdout);
    return true;
}

}  // namespace auralyn::generator
