#pragma once

#include <cstdint>

#include "sweep/sweep_plan.h"

namespace auralyn::sweep {

// The first reason a loaded record would give a degenerate or unbounded
// schedule, or none.
enum class RecordFault {
    none,
    notFinite,          // a NaN or infinite double
    sampleRate,         // 0
    startFrequency,     // not above 0
    frequencyStep,      // not above 0
    endFrequency,       // below the start or above half the sampling rate
    negativeValue,      // a duration or the fractional-cycle bound below 0
    syncLevel,          // pulse level or threshold outside 0..100
    sampleCountRange,   // some sample count would not fit 32 bits
    tooManyTones,
    searchTooLong,      // the exact length would take too many search steps to establish
    sweepTooLong,       // the sweep would not fit a WAV file
};

// More tones than any dialogue sweep has (about 4.8 million at most); beyond
// it, checking a record would take noticeable time.
inline constexpr std::uint32_t kMaxToneCount = 1u << 23;
// Bound on the tone-length search steps one loaded sweep may cost (under half
// a second here): both programs run every tone's search, and so does the check
// when the cheap bound on the steps exceeds this. A dialogue sweep comes near
// it only with some 20000 tones or more searched to a fractional cycle of 0.
inline constexpr std::uint64_t kMaxSearchSteps = std::uint64_t{1} << 24;

RecordFault findRecordFault(const SweepParameters& p);

inline bool isLoadableRecord(const SweepParameters& p) {
    return findRecordFault(p) == RecordFault::none;
}

const char* describeRecordFault(RecordFault fault);

}  // namespace auralyn::sweep
