#pragma once

#include "response/minimum_phase.h"
#include "response/response.h"

namespace auralyn::response {

struct DelayEstimate {
    double seconds = 0.0;
    double bandLow = 0.0, bandHigh = 0.0;  // Hz: the tones the fit used lie between these
    std::size_t tonesUsed = 0;
};

// The time of flight in a response: the delay τ of the linear-phase term
// c − 2π f τ that best fits (least squares) the excess phase, the measured
// phase less the minimum phase its magnitude implies, over the tones whose
// level lies within 10 dB of the median level (the band where the phase is
// worth trusting), without the octave at either end of a curve that spans
// more than three octaves (where the minimum phase leans on the extension).
// The excess phase is unwrapped by prediction: each tone, in frequency
// order, takes the turn nearest the line fitted to the tones below it, so a
// delay longer than the tone spacing can follow is still found. Throws Error when fewer than two tones lie in the band.
DelayEstimate findDelay(const Response& response, const Extension& extension = {});

// The delay of the response's time reference still in its phase, in seconds:
// the reference delay its source states; else, for a response measured
// against a loopback reference channel, 0 (dividing by the reference took
// the delay the reference saw out, so the phase already starts at the
// reference). Throws Error for a response without a time reference.
double referenceDelay(const Response& response);

}  // namespace auralyn::response
