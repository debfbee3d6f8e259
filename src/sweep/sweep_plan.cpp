#include "sweep/sweep_plan.h"

#include <array>
#include <type_traits>

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

// A setting is stored as given unless the plan is locked (the record of a
// sweep already written no longer changes).
template <typename Value>
void store(SweepParameters& record, Value SweepParameters::*field, std::type_identity_t<Value> value) {
    if (!record.locked) record.*field = value;
}

// Durations and the fractional cycle take any value from 0 up; a negative
// value or a NaN leaves the setting as it was.
void storeNonNegative(SweepParameters& record, double SweepParameters::*field, double value) {
    if (value >= 0) store(record, field, value);
}

}  // namespace

void SweepPlan::setSampleRate(std::uint32_t rate) { store(record_, &SweepParameters::sampleRate, rate); }

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
    storeNonNegative(record_, &SweepParameters::minToneDuration, seconds);
}

void SweepPlan::setSyncPulseDuration(double seconds) {
    storeNonNegative(record_, &SweepParameters::syncPulseDuration, seconds);
}

void SweepPlan::setSettlingTime(double seconds) { storeNonNegative(record_, &SweepParameters::settlingTime, seconds); }

void SweepPlan::setMaxTimeDrift(double seconds) { storeNonNegative(record_, &SweepParameters::maxTimeDrift, seconds); }

void SweepPlan::setLeadInTime(double seconds) { storeNonNegative(record_, &SweepParameters::leadInTime, seconds); }

void SweepPlan::setMaxFractionalCycle(double cycles) {
    storeNonNegative(record_, &SweepParameters::maxFractionalCycle, cycles);
}

void SweepPlan::setTonesPerSyncPulse(std::uint32_t tones) {
    store(record_, &SweepParameters::tonesPerSyncPulse, tones);
}

void SweepPlan::setMinCyclesPerTone(std::uint32_t cycles) {
    store(record_, &SweepParameters::minCyclesPerTone, cycles);
}

void SweepPlan::setMaxExtraSamples(std::uint32_t samples) {
    store(record_, &SweepParameters::maxExtraSamples, samples);
}

void SweepPlan::setSyncPulseLevel(double percent) {
    store(record_, &SweepParameters::syncPulseLevel, clampPercent(percent));
}

void SweepPlan::setSyncThreshold(double percent) {
    store(record_, &SweepParameters::syncThreshold, clampPercent(percent));
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
