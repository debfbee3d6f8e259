#include "sweep_recording.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "sweep/sweep_layout.h"

namespace auralyn::test {
namespace {

constexpr double kTwoPi = 6.283185307179586;

void appendLevel(std::vector<std::int16_t>& out, std::int32_t count, std::int16_t level) {
    for (std::int32_t i = 0; i < count; ++i) out.push_back(level);
}

std::int16_t roundedSample(double value) {
    if (value > 0.0) return static_cast<std::int16_t>(std::trunc(value + 0.5));
    if (value < 0.0) return static_cast<std::int16_t>(std::trunc(value - 0.5));
    return 0;
}

void appendTone(std::vector<std::int16_t>& out, double frequency, double startPhase, std::uint32_t rate,
                std::int32_t count) {
    const double step = kTwoPi * frequency / static_cast<double>(rate);
    for (std::int32_t i = 0; i < count; ++i) {
        const double angle = static_cast<double>(i) * step + startPhase;
        out.push_back(roundedSample(32767.0 * std::sin(angle)));
    }
}

void appendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

sweep::SweepPlan shortSweepPlan(std::uint32_t sampleRate, double endFrequency) {
    sweep::SweepPlan plan;
    plan.setSampleRate(sampleRate);
    plan.setOctaveSweep(1);
    plan.setStartFrequency(1000.0);
    plan.setEndFrequency(endFrequency);
    plan.setFrequencyStep(1.0);
    plan.setMinToneDuration(0.02);
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
    return plan;
}

std::vector<std::int16_t> synthesiseSweep(sweep::SweepPlan plan) {
    const sweep::SweepParameters& p = plan.params();
    std::vector<std::int16_t> samples;
    plan.rewind();
    appendLevel(samples, sweep::generatorLeadInSamples(p), 0);
    do {
        if (plan.isSyncTone()) {
            appendLevel(samples, sweep::syncSettlingSamples(p), 0);
            appendLevel(samples, sweep::syncDriftSamples(p), 0);
            appendLevel(samples, sweep::syncPulseSamples(p), static_cast<std::int16_t>(sweep::percentToAmplitude(p.syncPulseLevel)));
        }
        const std::int32_t lead = plan.settlingSamples();
        const std::int32_t count = lead + p.toneLength + plan.driftSamples();
        appendTone(samples, p.toneFrequency, plan.phaseAtSample(-lead), p.sampleRate, count);
    } while (plan.nextTone());
    return samples;
}

void writeWave(const std::string& path, std::uint32_t sampleRate, const std::vector<std::int16_t>& samples,
               std::uint16_t channels, std::uint16_t bitsPerSample) {
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    const std::uint32_t blockAlign = channels * (bitsPerSample / 8u);
    std::string bytes = "RIFF";
    appendLittleEndian(bytes, dataSize + 36, 4);
    bytes += "WAVEfmt ";
    appendLittleEndian(bytes, 16, 4);
    appendLittleEndian(bytes, 1, 2);
    appendLittleEndian(bytes, channels, 2);
    appendLittleEndian(bytes, sampleRate, 4);
    appendLittleEndian(bytes, sampleRate * blockAlign, 4);
    appendLittleEndian(bytes, blockAlign, 2);
    appendLittleEndian(bytes, bitsPerSample, 2);
    bytes += "data";
    appendLittleEndian(bytes, dataSize, 4);
    for (std::int16_t sample : samples) appendLittleEndian(bytes, static_cast<std::uint16_t>(sample), 2);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeSweepParameters(const std::string& path, sweep::SweepPlan plan) {
    plan.lock();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    const bool written = plan.writeParameters(file);
    std::fclose(file);
    if (!written) throw std::runtime_error("cannot write " + path);
}

}  // namespace auralyn::test
