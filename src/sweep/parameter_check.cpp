#include "sweep/parameter_check.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "sweep/sweep_layout.h"
#include "sweep/truncation.h"

namespace auralyn::sweep {
namespace {

constexpr double kSampleLimit = static_cast<double>(kMaxWaveSamples16);

bool allFinite(const SweepParameters& p) {
    const double values[] = {p.startFrequency,    p.endFrequency,   p.frequencyStep,
                             p.minToneDuration,   p.syncPulseDuration, p.settlingTime,
                             p.maxTimeDrift,      p.leadInTime,     p.maxFractionalCycle,
                             p.toneFrequency,     p.syncPulseLevel, p.syncThreshold};
    return std::all_of(std::begin(values), std::end(values), [](double v) { return std::isfinite(v); });
}

bool isPercent(double v) { return v >= 0 && v <= 100; }

bool isCount(double v) { return v >= 0 && fitsInt32(v); }

RecordFault findFieldFault(const SweepParameters& p) {
    if (!allFinite(p)) return RecordFault::notFinite;
    if (p.sampleRate == 0) return RecordFault::sampleRate;
    if (!(p.startFrequency > 0)) return RecordFault::startFrequency;
    if (!(p.frequencyStep > 0)) return RecordFault::frequencyStep;
    const double rate = p.sampleRate;
    if (p.endFrequency < p.startFrequency || p.endFrequency > 0.5 * rate) return RecordFault::endFrequency;
    const double nonNegative[] = {p.minToneDuration, p.syncPulseDuration, p.settlingTime,
                                  p.maxTimeDrift, p.leadInTime, p.maxFractionalCycle};
    for (double v : nonNegative) {
        if (v < 0) return RecordFault::negativeValue;
    }
    if (!isPercent(p.syncPulseLevel) || !isPercent(p.syncThreshold)) return RecordFault::syncLevel;
    return RecordFault::none;
}

// The fixed sample counts of the layout, before any of them is truncated.
RecordFault findLayoutFault(const SweepParameters& p) {
    const double rate = p.sampleRate;
    const double counts[] = {rate * p.leadInTime, rate * p.settlingTime, rate * p.maxTimeDrift,
                             rate * p.syncPulseDuration, rate * p.minToneDuration};
    for (double v : counts) {
        if (!isCount(v)) return RecordFault::sampleCountRange;
    }
    if (!isCount(truncateToInt32(rate * p.leadInTime) + rate * 3.0)) return RecordFault::sampleCountRange;
    return RecordFault::none;
}

// The schedule's own count, before truncation; the walk may add one tone.
RecordFault findToneCountFault(const SweepParameters& p) {
    double count = 0;
    if (p.octaveSweep == 0) {
        count = (p.endFrequency - p.startFrequency) / p.frequencyStep + 1;
    } else {
        count = std::log(p.endFrequency / p.startFrequency) / std::log(2.0) * p.frequencyStep + 1;
    }
    if (!(count < kMaxToneCount)) return RecordFault::tooManyTones;  // NaN too
    return RecordFault::none;
}

// Sample bounds of the whole sweep and of the search work to pin it down.
struct SweepBounds {
    double low = 0;
    double high = 0;
    double searchSteps = 0;
};

// Bounds one tone without running its length search: the search picks a
// candidate between its minimum length and fewer than maxExtraSamples more.
RecordFault boundTone(const SweepParameters& p, double f, SweepBounds& sweep) {
    const double rate = p.sampleRate;
    const double maxExtra = p.maxExtraSamples;
    const double lead = std::ceil(p.settlingTime * f) / f * rate;
    if (!isCount(lead)) return RecordFault::sampleCountRange;

    double a = 2 * f;
    if (!(0.5 * rate >= a)) a = rate - a;
    double lengthHigh = rate * p.minToneDuration;
    double lengthLow = lengthHigh - 1;
    double steps = 1;
    if (a != 0) {
        const double b = 0.5 * a;
        const double cycles = std::max(std::ceil(p.minToneDuration * b), 10.0);
        const double shortest = cycles / b * rate;
        lengthLow = shortest - 1;
        lengthHigh = shortest + maxExtra + 1;
        if (p.maxFractionalCycle < 0.5) steps = std::floor(maxExtra * b / rate) + 2;
    }
    if (!isCount(lengthHigh)) return RecordFault::sampleCountRange;

    // Block and tail span whole cycles: at most one cycle beyond the drift.
    const double drift = rate * p.maxTimeDrift;
    const double spanHigh = lengthHigh + drift + rate / f + 2;
    if (!isCount(spanHigh)) return RecordFault::sampleCountRange;

    sweep.low += std::trunc(lead) + std::max(0.0, lengthLow + drift - 2);
    sweep.high += std::trunc(lead) + spanHigh;
    if (steps > static_cast<double>(kMaxSearchSteps)) return RecordFault::searchTooLong;
    sweep.searchSteps += steps;
    return RecordFault::none;
}

// The steps every tone's length search really takes, walked until they pass the
// budget: searches usually stop well before their bound.
bool searchesFitBudget(const SweepParameters& p) {
    const SweepPlan plan(p);
    std::uint64_t steps = 0;
    std::uint32_t index = 0;
    double f = plan.frequencyOfTone(0);
    for (;;) {
        steps += searchToneLength(p, f, kMaxSearchSteps - steps).steps;
        if (steps > kMaxSearchSteps) return false;
        if (++index > kMaxToneCount) return false;
        f = plan.frequencyOfTone(static_cast<std::int32_t>(index));
        if (f > p.endFrequency) return true;
    }
}

bool isSyncIndex(const SweepParameters& p, std::uint32_t index) {
    if (p.tonesPerSyncPulse == 0) return index == 0;
    return index % p.tonesPerSyncPulse == 0;
}

double syncSegmentSamples(const SweepParameters& p) {
    return static_cast<double>(syncSettlingSamples(p)) + syncDriftSamples(p) + syncPulseSamples(p);
}

RecordFault findSweepLengthFault(const SweepParameters& p) {
    const SweepPlan plan(p);
    const double syncSamples = syncSegmentSamples(p);
    SweepBounds sweep;
    sweep.low = sweep.high = generatorLeadInSamples(p);
    std::uint32_t index = 0;
    double f = plan.frequencyOfTone(0);
    for (;;) {
        if (const RecordFault fault = boundTone(p, f, sweep); fault != RecordFault::none) return fault;
        if (isSyncIndex(p, index)) {
            sweep.low += syncSamples;
            sweep.high += syncSamples;
        }
        if (sweep.low > kSampleLimit) return RecordFault::sweepTooLong;
        if (++index > kMaxToneCount) return RecordFault::tooManyTones;
        f = plan.frequencyOfTone(static_cast<std::int32_t>(index));
        if (f > p.endFrequency) break;
    }
    if (sweep.searchSteps > static_cast<double>(kMaxSearchSteps) && !searchesFitBudget(p))
        return RecordFault::searchTooLong;
    if (sweep.high <= kSampleLimit) return RecordFault::none;
    if (sweepSampleCount(plan) > kMaxWaveSamples16) return RecordFault::sweepTooLong;
    return RecordFault::none;
}

}  // namespace

RecordFault findRecordFault(const SweepParameters& p) {
    // Cheapest first: each later check relies on the ones before it.
    for (auto check : {findFieldFault, findLayoutFault, findToneCountFault, findSweepLengthFault}) {
        if (const RecordFault fault = check(p); fault != RecordFault::none) return fault;
    }
    return RecordFault::none;
}

const char* describeRecordFault(RecordFault fault) {
    switch (fault) {
        case RecordFault::none: return "no fault";
        case RecordFault::notFinite: return "a value is not a finite number";
        case RecordFault::sampleRate: return "the sampling rate is 0";
        case RecordFault::startFrequency: return "the start frequency is not above 0";
        case RecordFault::frequencyStep: return "the frequency step is not above 0";
        case RecordFault::endFrequency: return "the end frequency is below the start or above half the sampling rate";
        case RecordFault::negativeValue: return "a duration or error bound is negative";
        case RecordFault::syncLevel: return "a synchronization level is outside 0 to 100 percent";
        case RecordFault::sampleCountRange: return "a sample count does not fit 32 bits";
        case RecordFault::tooManyTones: return "the sweep has too many tones";
        case RecordFault::searchTooLong: return "the tone-length search would take too long";
        case RecordFault::sweepTooLong: return "the sweep would not fit a WAV file";
    }
    return "unknown fault";
}

}  // namespace auralyn::sweep
