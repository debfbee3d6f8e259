#include "long_sweep.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <vector>

#include "sweep/sweep_layout.h"
#include "wave/wave_file.h"

namespace auralyn::bench {
namespace {

constexpr double kTwoPi = 6.283185307179586;

void writeLevel(wave::WaveFile& wave, std::int32_t count, std::int16_t level, std::uint64_t& written) {
    for (std::int32_t i = 0; i < count; ++i) wave.writeSample(level);
    written += count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

void writeTone(wave::WaveFile& wave, double frequency, double startPhase, std::uint32_t rate, std::int32_t count,
               std::uint64_t& written) {
    const double step = kTwoPi * frequency / static_cast<double>(rate);
    for (std::int32_t i = 0; i < count; ++i) {
        const double v = 32767.0 * std::sin(static_cast<double>(i) * step + startPhase);
        wave.writeSample(static_cast<std::int16_t>(v > 0 ? std::trunc(v + 0.5) : v < 0 ? std::trunc(v - 0.5) : 0.0));
    }
    written += count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

}  // namespace

sweep::SweepPlan longSweepPlan() {
    sweep::SweepPlan plan;
    plan.setSampleRate(48000);
    plan.setOctaveSweep(0);
    plan.setStartFrequency(20.0);
    plan.setEndFrequency(20000.0);
    plan.setFrequencyStep(10.0);
    plan.setMinToneDuration(0.1);
    plan.setSettlingTime(0.04);
    plan.setTonesPerSyncPulse(0);
    plan.setMaxExtraSamples(400);
    plan.setSyncPulseLevel(90.0);
    plan.setMaxTimeDrift(0.0002);
    plan.setMinCyclesPerTone(10);
    plan.setMaxFractionalCycle(1.0);
    plan.setSyncThreshold(15.0);
    plan.setSyncPulseDuration(0.0002);
    plan.setLeadInTime(0.5);
    plan.lock();
    return plan;
}

std::uint64_t writeLongSweep(const std::string& folder) {
    sweep::SweepPlan plan = longSweepPlan();
    const sweep::SweepParameters& p = plan.params();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> parameters(std::fopen((folder + "/sweep.swp").c_str(), "wb"),
                                                              std::fclose);
    if (!parameters || !plan.writeParameters(parameters.get())) throw std::runtime_error("cannot write sweep.swp");
    wave::WaveFile wave;
    if (!wave.openWrite((folder + "/rec.wav").c_str())) throw std::runtime_error("cannot write rec.wav");
    wave.setFormat(p.sampleRate, 16, 1);
    std::uint64_t written = 0;
    plan.rewind();
    writeLevel(wave, sweep::generatorLeadInSamples(p), 0, written);
    do {
        if (plan.isSyncTone()) {
            writeLevel(wave, sweep::syncSettlingSamples(p), 0, written);
            writeLevel(wave, sweep::syncDriftSamples(p), 0, written);
            writeLevel(wave, sweep::syncPulseSamples(p), static_cast<std::int16_t>(sweep::percentToAmplitude(p.syncPulseLevel)),
                       written);
        }
        const std::int32_t lead = plan.settlingSamples();
        writeTone(wave, p.toneFrequency, plan.phaseAtSample(-lead), p.sampleRate,
                  lead + p.toneLength + plan.driftSamples(), written);
    } while (plan.nextTone());
    if (!wave.close()) throw std::runtime_error("cannot finish rec.wav");
    return written;
}

}  // namespace auralyn::bench
