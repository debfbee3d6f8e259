#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::sweep {

// Sample counts of the sweep layout that both programs derive from the record.
// Each is truncated toward zero exactly as the generator writes them.
std::int32_t generatorLeadInSamples(const SweepParameters& p);  // trunc(trunc(R x leadIn) + R x 3.0)
std::int32_t measurerLeadInSamples(const SweepParameters& p);   // trunc(R x leadIn)
std::int32_t syncSettlingSamples(const SweepParameters& p);     // trunc(R x settlingTime)
std::int32_t syncDriftSamples(const SweepParameters& p);        // trunc(R x maxTimeDrift)
std::int32_t syncPulseSamples(const SweepParameters& p);        // trunc(R x syncPulseDuration)

// The largest sample data a WAV file can hold: data size + 36 must fit the
// 32-bit RIFF size field.
inline constexpr std::uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 36;
inline constexpr std::uint64_t kMaxWaveSamples16 = kMaxWaveDataBytes / 2;

// Number of 16-bit samples the generator writes for this plan, found by walking
// a copy of its schedule once. Stops counting (and returns a value above
// `limit`) as soon as the count passes `limit`, or when the walk runs past
// kMaxToneCount tones (a step too small to advance the frequency).
std::uint64_t sweepSampleCount(const SweepPlan& plan, std::uint64_t limit = kMaxWaveSamples16);

// Where one tone's measured part (after its settling) lies in the sweep file.
struct ToneSpan {
    double frequency = 0.0;
    std::size_t start = 0;   // samples from the file's first sample
    std::size_t length = 0;
};

// Every tone's measured part along the plan's schedule, as the generator lays
// the file out: lead-in, then per tone its sync pulse where one is due, its
// settling, the tone, and its drift allowance. A recording made with no delay
// on the player's own clock holds each tone at the same place.
std::vector<ToneSpan> generatedToneSpans(SweepPlan plan);

}  // namespace auralyn::sweep
