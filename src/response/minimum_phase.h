#pragma once

#include <optional>
#include <vector>

#include "response/response.h"

namespace auralyn::response {

// How the magnitude goes on beyond the measured tones, in dB per octave.
// Unset: the slope of the curve's own last third of an octave at that end
// (at least its two end tones) rounded to the nearest whole multiple of
// 6.02 dB per octave (the asymptote of a rational system: one multiple per
// pole or zero), within ±48.2 dB per octave.
struct Extension {
    std::optional<double> lowDbPerOctave;
    std::optional<double> highDbPerOctave;
};

struct MinimumPhase {
    std::vector<double> phase;  // radians, one per tone
    double lowDbPerOctave = 0.0;   // the slopes used below the first and above the last tone
    double highDbPerOctave = 0.0;
    bool warped = false;  // computed on the sampled system's warped axis (see below)
};

// The phase of the minimum-phase system whose magnitude the response has.
//
// Method: for a minimum-phase system, ln|H| and the phase are a Hilbert pair
// (Oppenheim & Schafer, "Discrete-Time Signal Processing", ch. 12). On a
// logarithmic frequency axis u = ln ω the transform becomes Bode's gain-phase
// integral  φ(u0) = (1/π) ∫ dA/du · ln coth(|u − u0|/2) du  with A = ln|H|.
// A is taken linearly in u between the tones on a dense uniform u grid and
// beyond the ends as straight lines of the extension slopes out to 0 and
// infinity; the kernel is integrated exactly over every grid step (through
// the dilogarithm) and the sum over steps is one convolution, done by FFT.
// The extensions' contributions are closed-form. Where the sample rate is
// known and every tone lies below half of it, the axis is the bilinear one,
// ω = tan(π f / rate), on which a sampled minimum-phase system is an analogue
// one: the result is then exact for digital filters up to half the rate.
MinimumPhase minimumPhase(const Response& response, const Extension& extension = {});

// The measured phase less the minimum phase: delay, all-pass behaviour,
// reflections.
std::vector<double> excessPhase(const Response& response, const MinimumPhase& minimum);

}  // namespace auralyn::response
