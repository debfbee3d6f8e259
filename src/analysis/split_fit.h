#pragma once

#include <cstddef>

#include "analysis/harmonic_fit.h"
#include "analysis/sample.h"
#include "analysis/tone_steadiness.h"

namespace auralyn::analysis {

// A tone's block fitted whole (harmonic_fit.h) and by halves (the steadiness
// check's, tone_steadiness.h) from one pass over its samples: each half's
// Goertzel sums are taken once, fit that half, and joined give the whole
// block's sums. `halves` is left empty (no samples) where the block is too
// short to fit, so that a later check fits them itself.
struct SplitFit {
    HarmonicFit whole;
    HalvesFit halves;
};

SplitFit fitWithHalves(const Sample* samples, std::size_t count, double firstSampleOffset, double cyclesPerSample);

}  // namespace auralyn::analysis
