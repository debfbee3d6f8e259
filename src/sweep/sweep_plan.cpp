#include "sweep/sweep_plan.h"

#include <array>

#include "sweep/parameter_check.h"
#include "sweep/parameter_file.h"

namespace auralyn::sweep {
namespace {

// Levels are clamped rather than dropped; a NaN fails both tests and the
// final comparison, so it is stored as 0.
double clampPercent(double percent) {
    if (percent < 0) return 0;
    if (percent > 100) return 100;
    if (percent >= 0) return percent;
    return 0;
}

}  // namespace

void SweepPlan::setSampleRate(std::uint32_t rate) {
    if (record_.locked) return;
    record_.sampleRate = rate;
}

void SweepPlan::setOctaveSweep(std::int32_t octave) {
    if (record_.locked) return;
    record_.octaveSweep = octave;
    rewind();
}

void SweepPlan::setStartFrequency(double hz) {
    if (record_.locked || !(hz > 0)) return;
    record_.startFrequency = hz;
    if (hz > record_.endFrequency) record_.endFrequency = hz;
    rewind();
}

void SweepPlan::setEndFrequency(double hz) {
    if (record_.locked || !(hz > 0)) return;
    record_.endFrequency = hz;
    if (hz < record_.startFrequency) record_.startFrequency = hz;
}

void SweepPlan::setFrequencyStep(double step) {
    if (record_.locked || !(step > 0)) return;
    record_.frequencyStep = step;
    rewind();
}

void SweepPlan::setMinToneDuration(double seconds) {
    if (record_.locked || !(seconds >= 0)) return;
    record_.minToneDuration = seconds;
}

void SweepPlan::setSyncPulseDuration(double seconds) {
    if (record_.locked || !(seconds >= 0)) return;
    record_.syncPulseDuration = seconds;
}

void SweepPlan::setSettlingTime(double seconds) {
    if (record_.locked || !(seconds >= 0)) return;
    record_.settlingTime = seconds;
}

void SweepPlan::setMaxTimeDrift(double seconds) {
    if (record_.locked || !(seconds >= 0)) return;
    record_.maxTimeDrift = seconds;
}

void SweepPlan::setLeadInTime(double seconds) {
    if (record_.locked || !(seconds >= 0)) return;
    record_.leadInTime = seconds;
}

void SweepPlan::setMaxFractionalCycle(double cycles) {
    if (record_.locked || !(cycles >= 0)) return;
    record_.maxFractionalCycle = cycles;
}

void SweepPlan::setTonesPerSyncPulse(std::uint32_t tones) {
    if (record_.locked) return;
    record_.tonesPerSyncPulse = tones;
}

void SweepPlan::setMinCyclesPerTone(std::uint32_t cycles) {
    if (record_.locked) return;
    record_.minCyclesPerTone = cycles;
}

void SweepPlan::setMaxExtraSamples(std::uint32_t samples) {
    if (record_.locked) return;
    record_.maxExtraSamples = samples;
}

void SweepPlan::setSyncPulseLevel(double percent) {
    if (record_.locked) return;
    record_.syncPulseLevel = clampPercent(percent);
}

void SweepPlan::setSyncThreshold(double percent) {
    if (record_.locked) return;
    record_.syncThreshold = clampPercent(percent);
}

bool SweepPlan::writeParameters(std::FILE* out) const {
    const ParameterRecordBytes record = encodeParameterRecord(record_);
    if (std::fwrite(kParameterMagic, kParameterMagicSize, 1, out) != 1) return false;
    return std::fwrite(record.data(), record.size(), 1, out) == 1;
}

bool SweepPlan::readParameters(std::FILE* in) {
    if (record_.locked) return false;
    std::array<std::uint8_t, kParameterMagicSize> magic{};
    if (std::fread(magic.data(), magic.size(), 1, in) != 1) return false;
    if (!isParameterMagic(magic)) return false;
    ParameterRecordBytes bytes{};
    if (std::fread(bytes.data(), bytes.size(), 1, in) != 1) return false;

    // Everything is judged on a scratch plan so that a refused file leaves
    // this one fit for a retry with another file.
    const std::optional<SweepParameters> loaded = decodeParameterRecord(bytes);
    if (!loaded || !isLoadableRecord(*loaded)) return false;
    SweepPlan scratch;
    scratch.record_ = *loaded;
    scratch.rewind();
    *this = scratch;
    return true;
}

}  // namespace auralyn::sweep
