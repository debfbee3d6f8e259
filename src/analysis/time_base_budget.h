#pragma once

#include <cstdint>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/sample.h"
#include "analysis/tone_quality.h"
#include "clock/clock_figure.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// What the time base that the tones are placed on may be wrong by, as
// half-widths of 95 % intervals. The time origin is the trigger sample of the
// first sync pulse (the first sample that reaches the threshold), the rate
// the clock ratio; a tone's block starts at trigger + offset x ratio.
struct TimeBaseUncertainty {
    double originSamples = 0.0;  // recording samples by which noise may have moved the trigger
    double ratio = 0.0;          // relative error of the ratio applied (ppm x 1e-6)
};

// The trigger is the first sample at or above the threshold: noise moves it
// by a sample when it may lift the sample before over the threshold or drop
// the trigger sample below it. Both chances, for Gaussian noise of the given
// standard deviation (sample units), summed; above 2.5 % the origin is taken
// as uncertain by a whole sample.
double triggerShiftChance(const std::vector<Sample>& recording, std::int64_t trigger, double threshold,
                          double noiseSd);

// The time base of a clock-corrected measurement: the figure's own interval
// where it was applied; where a figure beyond the range was not applied, the
// whole ratio it found (plus its interval) is what the nominal places are off
// by; where the tones agreed on no ratio, the largest ratio accepted.
TimeBaseUncertainty timeBaseUncertainty(const clock::ClockFigure& figure, bool corrected, double triggerShift);

// The standard deviation of the noise in a stretch of samples, from their
// median absolute deviation about the median (1.4826 MAD, Gaussian-consistent),
// so that a click or two in the lead-in does not set it; never below the
// rounding to the recording's resolution `step`.
double robustNoiseSd(const Sample* samples, std::size_t count, double step = 1.0);

// The time base of a clock-corrected sweep, whose trigger and clock were
// found in `timed` (the channel that carries the pulses, of resolution
// `step`), with the noise at the pulse taken from the lead-in before it.
TimeBaseUncertainty sweepTimeBase(const sweep::SweepPlan& plan, const ClockCorrectedSweep& sweep,
                                  const std::vector<Sample>& timed, double step);

// Widens a tone's intervals by the time base (GUM 5.1.2, law of propagation).
// A block placed `centreTime` samples after the trigger, fitted at
// `cyclesPerSample` over `blockLength` samples, reads the phase at its centre;
// an error dt0 of the origin and dr of the ratio move that centre by
// dt0 + dr centreTime, turning the phase by 2 pi f (dt0 + dr centreTime). The
// two are uncorrelated but through the pulse spans, which are measured from
// the trigger and pull the ratio against an origin error (a negative
// correlation, left out: the interval is the wider for it). A fit at a
// frequency wrong by df loses amplitude as sin(x)/x of x = pi df N, about
// (pi df N)^2 / 6 relative: added to the magnitude's half-width as the bias it is.
void addTimeBase(ToneQuality& quality, const TimeBaseUncertainty& timeBase, double cyclesPerSample,
                 double centreTime, double blockLength);

}  // namespace auralyn::analysis
