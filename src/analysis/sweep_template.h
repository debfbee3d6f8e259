#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// One tone of the sweep as the generator writes it: lead, measured block and
// tail as one sine. Positions count samples as played from the first sample
// of the sweep's first sync pulse (the sweep's time origin).
struct TemplateTone {
    std::int64_t first = 0;        // first sample of the lead
    std::int32_t count = 0;        // lead + block + tail
    double frequency = 0.0;        // Hz
    double startPhase = 0.0;       // radians at `first`
    std::int64_t blockOffset = 0;  // first sample of the measured block (phase 0 there)
    std::int32_t blockLength = 0;
};

// The sweep's tones in the order played. The sync pulses and silences are not
// part of it: a pulse is a step that devices smear or block, the tones are the
// signal every linear device passes in part.
struct SweepTemplate {
    std::vector<TemplateTone> tones;
    std::int64_t length = 0;  // samples from the origin to the end of the last tone
    double sampleRate = 0.0;
};

SweepTemplate sweepTemplate(const sweep::SweepPlan& plan);

// Full-scale samples of the template's tones at the played positions
// origin + j / ratio for j = 0 .. out.size() - 1 (zero where no tone plays):
// the sweep as a recorder whose clock runs `ratio` times the player's holds it.
// Each sample is computed from its own index, as the generator does.
void renderTemplate(const SweepTemplate& sweep, double origin, double ratio, std::span<double> out);

// Index of the first tone that ends after played position `position`.
std::size_t toneAt(const SweepTemplate& sweep, double position);

}  // namespace auralyn::analysis
