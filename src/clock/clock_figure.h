#pragma once

#include <cstdint>
#include <vector>

namespace auralyn::clock {

// One observation of the clock ratio, as ppm = (ratio - 1) * 1e6 with
// ratio = length in the recording / length as played: a tone's nominal over
// measured frequency, or the span between two sync pulses.
struct ClockObservation {
    double ppm = 0.0;
    double standardError = 0.0;  // ppm
};

// From a tone's nominal frequency and its frequency in the recording.
ClockObservation observationFromTone(double nominalFrequency, double measuredFrequency, double standardError);
// From the distance of two pulses as played and as found (whole-sample
// triggers, each uncertain by a uniform half sample).
ClockObservation observationFromPulses(double playedSpan, double recordedSpan);

enum class ClockVerdict {
    Measured,     // the tones agree on one ratio within +-kMaxClockPpm
    Disagree,     // too few tones agree: not a recording of this sweep, or no tones at all
    OutOfRange,   // they agree, on a ratio beyond +-kMaxClockPpm (by more than its u95): reported, not used
};

inline constexpr double kMaxClockPpm = 1000.0;

// What one steady tone can tell of a clock ratio even without noise: the
// 16-bit rounding of the sweep and a recorder's resampling leave errors of a
// few thousandths of a ppm that no residual shows where nothing dithers them.
inline constexpr double kToneFloorPpm = 0.005;

struct ClockFigure {
    ClockVerdict verdict = ClockVerdict::Disagree;
    double ppm = 0.0;           // positive: the recording runs long, its tones come out lower
    double u95 = 0.0;           // ppm, expanded uncertainty at 95 % coverage
    double birgeRatio = 0.0;    // scatter of the agreeing observations over their errors
    std::uint32_t agreeing = 0; // observations that agree on the figure
    std::uint32_t offered = 0;  // tones (and pulse spans) that could have taken part
};

// How the figure's interval is evaluated from the agreeing observations.
enum class FigureSpread {
    // From their stated errors, scaled up by the Birge ratio where they
    // scatter more than those errors say.
    StatedErrors,
    // From their deviations from the figure, each weighed by its share of
    // it: honest where the stated errors are off unevenly (coloured noise,
    // a few biased tones of little weight), which no common scale can mend.
    Deviations,
};

// Combines the valid observations into one figure. `offered` counts every
// tone looked at, valid or not, so that a few agreeing tones among many that
// hold no tone are not taken for a measurement. Every observation's error is
// taken no smaller than `floorPpm` (kToneFloorPpm unless the caller has
// already floored the observations it could not trust to their residuals).
ClockFigure combineObservations(const std::vector<ClockObservation>& observations, std::uint32_t offered,
                                double floorPpm = kToneFloorPpm, FigureSpread spread = FigureSpread::StatedErrors);

// The running estimate of a progressive walk: precision-weighted mean with its
// standard uncertainty inflated by the Birge ratio.
struct RunningClock {
    double sumWeights = 0.0, sumWeighted = 0.0, sumWeightedSquares = 0.0;
    std::uint32_t count = 0;

    void add(const ClockObservation& observation);
    double ppm() const;
    double standardUncertainty() const;  // ppm; infinite before the first observation
};

// Two-sided 95 % quantile of Student's t with `dof` degrees of freedom.
double studentT95(std::uint32_t dof);

}  // namespace auralyn::clock
