#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/tone_layout.h"

namespace auralyn::analysis {

// One tone's phase at its block's start as placed from an origin.
struct TonePhase {
    double cyclesPerSample = 0.0;  // the tone's frequency in the recording over the sampling rate
    // The tone's amplitude: every tone counts by its level, not by its length,
    // so that the few long low tones of an octave sweep (whose phase a
    // woofer's or a high-pass's response turns by a large part of their
    // period) do not outweigh the many short ones that pin the start down.
    double weight = 0.0;
    double phase = 0.0;            // radians
    double phaseSigma = 0.0;       // radians, standard uncertainty
};

// How far the sweep's true start lies from the origin the phases were taken
// at, in recording samples: the shift that maximises the real part of the
// sweep's correlation, sum over tones of weight x exp(i (phase + 2 pi nu
// shift)), i.e. a matched filter's peak (each tone normalised to one block)
// evaluated exactly from the tones instead of interpolated between samples. Shifting a recording by
// any number of samples or fractions of one shifts it by the same amount, so
// phases referred to it do not move. Its standard uncertainty follows from
// the phases' by first-order propagation (GUM 5.1.2).
struct OriginShift {
    bool valid = false;
    double shift = 0.0;  // samples
    double sigma = 0.0;  // samples
};

// Searches shifts within +-reach samples (on a grid of a quarter period of
// the highest tone, then by Newton's method).
OriginShift originShift(std::span<const TonePhase> tones, double reach);

// Phases of up to `maxTones` tones spread over the sweep (at most
// `maxSamples` samples of each block, away from its edges by `doubt`), by the
// three-parameter sine fit of IEEE Std 1057 at each tone's frequency in the
// recording: quick enough to place the origin before the full measurement.
std::vector<TonePhase> quickTonePhases(const std::vector<NominalTone>& tones, std::span<const std::int16_t> recording,
                                       double origin, double ppm, double doubt, double sampleRate);
inline constexpr std::size_t kOriginTones = 256;
inline constexpr std::int32_t kOriginSamplesPerTone = 2048;

}  // namespace auralyn::analysis
