#pragma once

#include "analysis/harmonic_fit.h"

namespace auralyn::analysis {

// The 0.975 quantile of the standard normal distribution: the coverage factor
// of a two-sided 95 % interval where the variance is known (GUM G.3).
inline constexpr double kNormal95 = 1.959963984540054;

// The 0.975 quantile of Student's t with `dof` degrees of freedom (two-sided
// 95 %): tabulated for 1 to 9, otherwise the Cornish-Fisher expansion about the
// normal quantile (Abramowitz and Stegun 26.7.5) from 10 up (within 1e-3),
// a table below.
double studentT975(double dof);

// Largest half-widths reported: a tone buried in noise has no trustworthy
// magnitude or phase, and the interval says so without becoming infinite.
inline constexpr double kMaxMagnitudeU95Db = 100.0;
inline constexpr double kMaxPhaseU95Deg = 180.0;

struct Uncertainty95 {
    double magnitudeDb = kMaxMagnitudeU95Db;  // half-width of the 95 % interval of 20 log10(amplitude)
    double phaseDeg = kMaxPhaseU95Deg;        // half-width of the 95 % interval of the phase
};

// The fundamental's 95 % intervals from the covariance of the least-squares
// estimate, variance * (X^T X)^-1 (Gauss-Markov; the noise variance estimated
// with `dof` degrees of freedom), carried to dB and degrees by the delta method
// (first-order propagation, GUM 5.1.2) and widened by Student's t (GUM G.3).
// The first-order step holds while the noise is small against the tone; below
// about 0 dB SNR the half-widths are capped.
Uncertainty95 fundamentalUncertainty(const HarmonicFit& fit, double variance, double dof);

}  // namespace auralyn::analysis
