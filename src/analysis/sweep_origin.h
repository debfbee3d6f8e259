#pragma once

#include <optional>
#include <span>
#include <vector>

#include "analysis/clock_corrected_sweep.h"

namespace auralyn::analysis {

// One tone's phase as fitted at its block's start, placed from a trial origin.
struct StartPhase {
    double cyclesPerSample = 0.0;  // the tone's frequency in the recording over the sampling rate
    double weight = 0.0;           // the tone's amplitude
    double phase = 0.0;            // radians
    double sigma = 0.0;            // radians, standard uncertainty
    double time = 0.0;             // samples from the trial origin to the block's centre
};

// How far the sweep's start lies from the trial origin, recording samples.
struct OriginShift {
    bool valid = false;
    double shift = 0.0;
    double sigma = 0.0;  // standard uncertainty from the tones' noise
    // d shift / d ratio: a clock ratio wrong by dr turns each tone by
    // 2 pi nu dr time, which in a sweep (frequency rising with time) looks
    // like a delay and moves the start by ratioSensitivity x dr.
    double ratioSensitivity = 0.0;
    // |Z(s)| over the sum of the weights: 1 where every tone lines up, near 0
    // where the trial origin is no start of this sweep.
    double coherence = 0.0;
};

// The sweep's start as the matched filter of the whole sweep puts it: the
// lag s at which the envelope of the recording's cross-correlation with the
// sweep peaks. Each tone contributes weight x exp(i (phase + 2 pi nu s)) to
// the analytic correlation, so it is evaluated exactly from the tones'
// fitted phases rather than interpolated between samples; every tone counts
// by its amplitude (not by its length, so that the few long low tones do not
// outweigh the many short ones that pin the start down). The envelope (not
// its real part) makes the start the same for a device that inverts.
// Shifting a recording by any number of samples or fractions of one shifts
// the start by as much, so phases referred to it do not move. The search
// runs over +-reach samples on a grid of an eighth of the period of the
// highest tone that counts, then by Newton's method on the envelope. The
// standard uncertainty follows from the tones' by first-order propagation
// (GUM 5.1.2) through the peak's two conditions (in lag and in phase).
OriginShift originShift(std::span<const StartPhase> tones, double reach);

// Fitted tones as originShift takes them: each
// fitted tone with its phase's standard uncertainty from the fit's residual
// (sigma / (A sqrt(N / 2)), IEEE Std 1057's three-parameter fit), its time
// counted from `trialOrigin`. Tones
// whose phase is uncertain by more than kMaxOriginPhaseSigma (below or near
// the noise) are left out.
std::vector<StartPhase> tonePhases(const std::vector<ClockCorrectedTone>& tones, double trialOrigin, double sampleRate);
// One tone as tonePhases takes it, or nothing where it would leave it out.
std::optional<StartPhase> tonePhase(const ClockCorrectedTone& tone, double trialOrigin, double sampleRate);
inline constexpr double kMaxOriginPhaseSigma = 0.2;

// How far the start may lie from the trial origin: a woofer's group delay
// moves the envelope's peak by hundreds of samples from where the high
// tones (and the pulse) put it.
inline constexpr double kOriginReach = 1024.0;

}  // namespace auralyn::analysis
