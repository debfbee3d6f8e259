#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "analysis/sample.h"
#include "analysis/lead_in_moments.h"

namespace auralyn::analysis {

// The variance that rounding to 16-bit codes alone leaves (a uniform error of
// one step): no block of such samples resolves a smaller noise.
inline constexpr double kQuantizationVariance = 1.0 / 12.0;

// The lead-in blocks' fit solvers, by block length and frequency, each made
// once: a tone's harmonic is often another tone's fundamental, to the bit.
class NoiseSolverCache;
std::shared_ptr<NoiseSolverCache> makeNoiseSolverCache();

// A stretch of the recording where nothing but the noise of the chain is
// present (the silent lead-in before the first sync pulse). Borrowed. Its
// copies share what the tones' noise fits over it have in common.
struct LeadInSpan {
    const Sample* samples = nullptr;
    std::size_t count = 0;
    double roundingVariance = kQuantizationVariance;  // of the recording's own resolution
    std::shared_ptr<LeadInMomentCache> moments = std::make_shared<LeadInMomentCache>();
    std::shared_ptr<NoiseSolverCache> solvers = makeNoiseSolverCache();
};

// At most this many blocks of the lead-in are measured per tone: 128 blocks
// put the floor's own scatter at about 0.4 dB (chi-squared with 256 degrees
// of freedom, so a tone's floor strays 2 dB about once in a million), and a
// tone never costs more than one pass over the lead-in.
inline constexpr std::size_t kMaxNoiseBlocks = 128;
// Where fewer than kMaxNoiseBlocks of the tone's length fit into the lead-in,
// shorter blocks are measured, down to this many cycles of the tone.
inline constexpr double kMinNoiseBlockCycles = 1.0;
// and no longer than this unless one cycle is longer: a tone then costs at most
// 128 x 512 lead-in samples, and the floor is resolved to rate / 512 (94 Hz at 48 kHz).
inline constexpr std::size_t kLongestShortNoiseBlock = 512;

// What a tone's measurement gives on noise alone.
struct LeadInNoise {
    double amplitudeRms = 0.0;  // RMS of the fitted fundamental amplitude over the blocks, sample units
    double variance = 0.0;      // noise variance per sample at this frequency that explains it
    std::size_t blocks = 0;     // blocks measured
    std::size_t blockLength = 0;  // their length: the tone's, or shorter where the lead-in is short
    bool quantizationLimited = false;  // below what 16-bit rounding alone leaves: raised to that
    bool fromSilences = false;  // measured in the silences before later sync pulses (silence_noise.h)
};

// Fits DC and the tone's sine and cosine (the three-parameter fit of IEEE Std
// 1057 at the known frequency) to up to kMaxNoiseBlocks whole, non-overlapping
// blocks of the lead-in, counted back from its end, and averages the fitted
// amplitude's power: the noise floor that this very measurement sees at this
// frequency, coloured noise and hum included. The blocks have the tone's
// length where 128 of them fit; otherwise they are shorter (at most 512
// samples, never below one cycle), so that the floor rests on more than a handful of blocks, and the
// noise variance at the frequency they give is carried to the tone's block
// length (which assumes the noise flat over the shorter blocks' bandwidth,
// rate / length). Empty when not even one block fits into the lead-in.
//
// The blocks' fits share their second moments (lead_in_moments.h): once many
// tones ask for one block length, each tone's mean power comes from them in
// closed form, the same sum up to rounding.
//
// A digitally silent lead-in gives no power at all; the floor is then taken as
// that of the rounding to the recording's resolution (the span's
// roundingVariance: 1/12 for 16 bits), below which no block of samples can
// resolve anything.
std::optional<LeadInNoise> measureLeadInNoise(const LeadInSpan& leadIn, std::size_t blockLength,
                                              double cyclesPerSample);
// The same at `count` frequencies at once (a tone's harmonics): out[f] for
// cyclesPerSample[f]. Where they share the lead-in's moments their sums are
// evaluated side by side, which costs little more than one of them.
void measureLeadInNoise(const LeadInSpan& leadIn, std::size_t blockLength, const double* cyclesPerSample,
                        std::size_t count, std::optional<LeadInNoise>* out);

// The length of the lead-in blocks measured for a tone of `blockLength` samples.
std::size_t noiseBlockLength(std::size_t leadInCount, std::size_t blockLength, double cyclesPerSample);

// sum of the fundamental's two diagonal entries of (X^T X)^-1 for the
// three-parameter fit of a block: E[c^2 + s^2] of white noise of unit variance.
std::optional<double> threeParameterNoiseGain(std::size_t blockLength, double cyclesPerSample);

}  // namespace auralyn::analysis
