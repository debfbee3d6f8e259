#pragma once

#include <vector>

#include "analysis/tone_timeline.h"

namespace auralyn::analysis {

// One tone's own reading of the clock ratio, at its time in the recording.
struct RatioReading {
    double seconds = 0.0;         // the tone's block centre after the first pulse
    double ppm = 0.0;
    double standardError = 0.0;   // ppm
};

// Tests the tones' readings of the ratio against time for a trend: a
// straight line fitted by weighted least squares (weights 1 / se^2), its
// scatter beyond the readings' errors taken in by the Birge ratio, readings
// more than five of their errors off the line left out and the line fitted
// again. The clock drifts when the slope lies more than kDriftSigmas of its
// standard uncertainty from zero: one constant ratio then does not explain the tones.
ClockModel fitClockModel(const std::vector<RatioReading>& readings);
inline constexpr double kDriftSigmas = 5.0;

// Every tone placed on the drifting clock: recording time is the played time
// plus the integral of the ratio's deviation, ppm(t) = a + b t, so a tone
// played at offset o lies at o + 1e-6 (a o + b o^2 / 2R) and runs at the
// ratio of its block's centre.
std::vector<ToneTiming> driftingTimeline(const std::vector<NominalTone>& tones, const ClockModel& model, double rate);

// The standard uncertainty (radians) that the drifting clock's fitted line
// leaves in the phase of a tone at `frequency` played at offset `offset`: its
// time error sd = R 1e-6 sqrt(u_a^2 t^2 + u_b^2 (t^2 / 2 - tm t)^2), a line
// fitted about its mean time tm, turned into phase by 2 pi f.
double driftPhaseSd(const ClockModel& model, double offset, double frequency, double rate);

}  // namespace auralyn::analysis
