#pragma once

#include <cstddef>
#include <span>

namespace auralyn::analysis {

// One tone's phase as fitted at its block's start, for the clock fit.
struct ClockPhase {
    double cyclesPerSample = 0.0;  // the tone's frequency in the recording over the sampling rate
    double time = 0.0;             // recording samples from the trigger to the block's centre
    double phase = 0.0;            // radians, at the block's start
    double sigma = 0.0;            // radians, standard uncertainty from the fit's residual
    // Radians, a standard uncertainty the residual does not show (GUM Type B):
    // what rounding may have lined up with the tone (clockPhaseBias).
    double unmodelled = 0.0;
};

// What the tones' phases say of the clock ratio that placed their blocks.
struct PhaseClock {
    bool accepted = false;   // the phases fit one ratio within their noise (and agree with the prior)
    double ratioShift = 0.0; // relative correction to the ratio used (the true ratio is ratio x (1 + this))
    double ratioSd = 0.0;    // its standard uncertainty, relative, widened by the Birge ratio
    double startShift = 0.0; // s: where the tones put the start, samples after the trigger
    double chiSquare = 0.0;  // the accepted tones' weighted residuals, squared and summed
    std::size_t degreesOfFreedom = 0;
    std::size_t tones = 0;   // tones that took part
};

// The clock ratio from every tone's phase along the sweep, by weighted least
// squares (weights 1 / sigma^2) of the model
//     phase_k = c - 2 pi nu_k (s + d T_k)
// in the three unknowns c (the device's phase, which may be inverted), s
// (where the sweep begins against the trigger) and d (the ratio's relative
// error): a block placed dT early reads its tone's phase 2 pi nu dT behind.
//
// What the fit can and cannot separate: the device's own phase is a function
// of frequency only, and in a sweep played once in frequency order every
// frequency has its one time T(nu). Any smooth device phase therefore hides a
// clock error: 2 pi nu d T(nu) is itself a smooth function of frequency, and a
// device whose phase bends that way (a loudspeaker, a crossover) reads exactly
// as a flat device on another clock. Only a device of flat phase, apart from
// one delay and an inversion (a gain, a wire, a linear-phase converter, a
// recorder's linear-phase filter), makes the three unknowns separable: the
// delay then shows as phase linear in nu, the clock as the curvature of nu T.
// So the fit is offered to that model and kept only where it passes two
// tests: its residuals are no larger than the tones' noise allows
// (chi-square below its 99 % point: a flat device is refused once in a
// hundred, and keeps the frequencies' figure), and its d agrees with the
// prior, the tones' frequency estimates (d = ratioPriorMean with standard
// uncertainty ratioPriorSd, which the device's phase cannot touch), within
// kPriorAgreementSigmas. The prior takes part in the fit as one more observation.
// Elsewhere the frequency estimates stay the clock.
//
// Phases are unwrapped by growing the fit outward from the first tones in
// time: a tone is taken once the fit so far predicts its phase to within
// kMaxPredictionSd radians, its phase brought to the branch nearest that
// prediction. `startPriorSd` (samples) is how far the start may lie from the trigger.
PhaseClock fitPhaseClock(std::span<const ClockPhase> tones, double ratioPriorMean, double ratioPriorSd,
                         double startPriorSd);

inline constexpr double kMaxPredictionSd = 0.3;
inline constexpr double kPriorAgreementSigmas = 4.0;
// Too few tones say nothing of the curvature a device's phase may have.
inline constexpr std::size_t kMinClockPhaseTones = 20;
// What the residual of a tone does not show of its phase, as a standard
// uncertainty in radians (GUM Type B): rounding that repeats with the tone
// (repeatingRoundingVariance, method_bias.h), the same in every recording. The
// sweep's own, where the played tone of `playedCyclesPerSample` repeats,
// against the played full scale; the recorder's, where the recorded tone of
// `cyclesPerSample` and `amplitude` (sample units) repeats and no noise dithers
// the rounding (a residual below kDitheringNoiseSteps, method_bias.h).
// Rounding of a tone that does not repeat within its block is noise the
// residual holds. A recorder's resampling, or any other bend of the chain's
// phase, shows in the fit's chi-square (refused, or widened by the Birge
// ratio) or is absorbed into the ratio, which no per-tone term could reveal.
double clockPhaseBias(double amplitude, double residualRms, double cyclesPerSample, double playedCyclesPerSample,
                      double blockLength);

}  // namespace auralyn::analysis
