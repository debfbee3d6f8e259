// The tone schedule. Both programs run this exact arithmetic on the same
// record; the order and precision of every operation decide which sample a
// tone starts on, so none of it may be rearranged.
#include <cmath>
#include <cstdint>

#include "sweep/sweep_plan.h"
#include "sweep/truncation.h"

namespace auralyn::sweep {
namespace {

// The search's minimum cycle count. Sweeps made by other builds always used
// 10, whatever the record's minCyclesPerTone says.
constexpr double kMinCycles = 10.0;
constexpr double kPi = 3.141592653589793;

}  // namespace

double roundHalfAway(double x) {
    if (x > 0) return std::floor(x + 0.5);
    if (x < 0) return std::ceil(x - 0.5);
    return x;
}

int percentToAmplitude(double percent) {
    const double value = percent * 0.01 * 32767;
    if (std::isnan(value)) return 0;
    if (value >= 32767.0) return 32767;
    if (value <= -32767.0) return -32767;
    return static_cast<int>(value);
}

std::uint32_t SweepPlan::toneCount() const {
    const SweepParameters& p = record_;
    if (p.octaveSweep == 0) {
        return truncateToUint32((p.endFrequency - p.startFrequency) / p.frequencyStep + 1);
    }
    const double octaves = std::log(p.endFrequency / p.startFrequency) / std::log(2.0);
    return truncateToUint32(octaves * p.frequencyStep + 1);
}

double SweepPlan::frequencyOfTone(std::int32_t index) const {
    const SweepParameters& p = record_;
    if (p.octaveSweep == 0) return p.startFrequency + index * p.frequencyStep;
    const double exponent = index / p.frequencyStep;
    return p.startFrequency * std::pow(2.0, exponent);
}

void SweepPlan::rewind() {
    record_.toneIndex = 0;
    setToneFrequency(frequencyOfTone(0));
}

bool SweepPlan::nextTone() {
    record_.toneIndex += 1;
    const double f = frequencyOfTone(static_cast<std::int32_t>(record_.toneIndex));
    if (f > record_.endFrequency) {
        record_.toneIndex -= 1;
        return false;
    }
    setToneFrequency(f);
    return true;
}

bool SweepPlan::isSyncTone() const {
    if (record_.tonesPerSyncPulse == 0) return record_.toneIndex == 0;
    return record_.toneIndex % record_.tonesPerSyncPulse == 0;
}

double SweepPlan::percentDone() const {
    const std::uint32_t count = toneCount();
    if (count == 0) return 0.0;  // a degenerate plan; avoids dividing by zero
    return static_cast<double>(record_.toneIndex) * 100 / count;
}

std::int32_t SweepPlan::settlingSamples() const {
    const double f = record_.toneFrequency;
    const double cycles = std::ceil(record_.settlingTime * f);
    return truncateToInt32(cycles / f * record_.sampleRate);
}

std::int32_t SweepPlan::driftSamples() const {
    const double f = record_.toneFrequency;
    const double rate = record_.sampleRate;
    const std::int32_t length = record_.toneLength;
    const double blockCycles = length / rate * f;
    const double spanCycles = record_.maxTimeDrift * f + blockCycles;
    const std::int64_t span = truncateToInt32(std::ceil(spanCycles) / f * rate);
    return truncateToInt32(static_cast<double>(span - length));
}

double SweepPlan::phaseAtSample(std::int32_t n) const {
    const double samplesPerCycle = record_.sampleRate / record_.toneFrequency;
    const double offset = std::fmod(static_cast<double>(n), samplesPerCycle);
    return offset / samplesPerCycle * 2 * kPi;
}

void SweepPlan::setToneFrequency(double hz) {
    record_.toneFrequency = hz;
    record_.toneLength = truncateToInt32(toneLengthFor(hz));
}

double SweepPlan::toneLengthFor(double hz) const { return searchToneLength(record_, hz).length; }

ToneLengthSearch searchToneLength(const SweepParameters& p, double hz, std::uint64_t maxSteps) {
    const double rate = p.sampleRate;
    const double minDuration = p.minToneDuration;
    const double maxExtra = p.maxExtraSamples;

    double a = 2 * hz;
    if (!(0.5 * rate >= a)) a = rate - a;  // fold 2f at half the sampling rate
    if (a == 0) return {rate * minDuration, 0};

    const double b = 0.5 * a;
    double c = std::ceil(minDuration * b);
    if (c < kMinCycles) c = kMinCycles;

    double best = c / b * rate;
    double bestError = 1.0;
    double k = 0;
    std::uint64_t steps = 0;
    for (;;) {
        if (steps == maxSteps) return {roundHalfAway(best), steps + 1};  // given up: over budget
        ++steps;
        const double candidate = (c + k) / b * rate;
        const double rounded = roundHalfAway(candidate);
        const double error = SweepPlan::fractionalCycle(rounded / rate * b);
        if (error < bestError) {
            bestError = error;
            best = candidate;
        }
        if (bestError <= p.maxFractionalCycle) break;
        k = k + 1;
        // Above half the sampling rate b is negative; the magnitude keeps the
        // search bounded there too (for valid tones it is the plain value).
        if (!(maxExtra > std::fabs(k / b * rate))) break;
    }
    return {roundHalfAway(best), steps};
}

double SweepPlan::fractionalCycle(double cycles) {
    const double r = std::fmod(cycles, 1.0);
    return r > 1 - r ? 1 - r : r;
}

}  // namespace auralyn::sweep
