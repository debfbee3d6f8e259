#pragma once

#include <cstdint>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// One tone of the schedule where the generator laid it down, in samples as
// played, counted from the first sample of the sweep's first sync pulse.
struct NominalTone {
    std::uint32_t index = 0;
    double frequency = 0.0;        // Hz
    std::int64_t blockOffset = 0;  // first sample of the measured block
    std::int32_t length = 0;       // measured block, less what a short tail gives away (tone_layout.cpp)
    bool syncBefore = false;       // a sync pulse precedes this tone
    std::int64_t pulseOffset = 0;  // its first sample, when syncBefore
    std::int64_t toneOffset = 0;   // the tone's first sample, before its settling
    std::int64_t toneEnd = 0;      // the first sample after it (and its drift allowance)
    // Samples as played by which the block is taken later (negative: earlier)
    // than the sweep's common placement puts it: the tone's own arrival
    // (tone_arrivals.h). Its phase stays referred to blockOffset.
    double blockLead = 0.0;
};

// Every tone of the plan's schedule, in the order played: the tone count, or one
// more when rounding puts a tone exactly at the end frequency.
std::vector<NominalTone> nominalTones(const sweep::SweepPlan& plan);

// Where a tone's block lies in a recording whose clock runs `ppm` against the
// sweep's, counted from the trigger sample of its first pulse: its start is a
// fractional sample position, the time its phase is referred to, and it
// covers the samples from `first` on, `lead` after it.
struct BlockPlacement {
    double start = 0.0;      // recording samples, fractional
    double length = 0.0;     // recording samples, fractional
    double frequency = 0.0;  // Hz, the tone's frequency as the recording holds it
    double lead = 0.0;       // recording samples from start to where the fitted samples begin
    std::int64_t first = 0;  // first whole sample at or after start + lead
    std::int32_t count = 0;  // whole samples from `first` before start + lead + length
    double firstTime = 0.0;  // first - start: in [0, 1) where lead is 0
};

// ratio = 1 + ppm / 1e6: the block starts at trigger + offset x ratio, lasts
// its length x ratio and holds the nominal frequency / ratio; its samples are
// taken the tone's blockLead x ratio later, its time origin stays.
BlockPlacement placeBlock(const NominalTone& tone, double trigger, double ppm);

}  // namespace auralyn::analysis
