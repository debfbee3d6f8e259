#pragma once

#include <cstdint>
#include <functional>

#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::measurer {

// One tone's measured block as the walk read it from the recording.
struct ToneBlock {
    std::uint32_t index = 0;      // the tone's index in the schedule
    double frequency = 0.0;       // Hz, from the schedule
    const std::int16_t* samples = nullptr;  // valid only during the visit
    std::int32_t length = 0;
    // The first sample's place relative to the tone's measured block: -1 when a
    // tail of -1 made the walk begin the block one sample early, in the lead.
    std::int32_t offset = 0;
};

enum class WalkEnd {
    Complete,        // the schedule was walked to its end, or the visitor stopped it
    PulseNotFound,   // no sync pulse where one is due
    RecordingEnded,  // the recording ends inside a tone
};

struct WalkOutcome {
    WalkEnd end = WalkEnd::Complete;
    std::uint32_t tonesVisited = 0;  // blocks the visitor accepted
    std::uint16_t peak = 0;          // largest magnitude over those blocks; -32768 counts as 32768
};

// Called for every tone whose block was read, in schedule order. Returning
// false stops the walk before that block counts (neither visited nor in the peak).
using ToneVisitor = std::function<bool(const ToneBlock&)>;

// Walks the recording tone by tone along the plan's schedule from the end of
// its lead-in, exactly as the generator laid the sweep down: at every sync
// point it finds the pulse, then skips each tone's lead, reads its block and
// skips its tail. Prints nothing. Once a pulse is found it counts samples.
WalkOutcome walkRecording(sweep::SweepPlan& plan, wave::WaveFile& recording, const ToneVisitor& visit);

// The phase a block's analysis gives at its first sample, turned back to the
// phase at the measured block's start when the walk began the block early
// (offset -1); within -pi..pi as the analysis gives it.
double phaseAtBlockStart(double phase, const ToneBlock& block, std::uint32_t rate);

}  // namespace auralyn::measurer
