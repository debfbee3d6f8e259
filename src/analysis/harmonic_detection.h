#pragma once

#include <cstddef>
#include <optional>

#include "analysis/harmonic_fit.h"
#include "analysis/lead_in_noise.h"
#include "analysis/tone_quality.h"

namespace auralyn::analysis {

// The squared Mahalanobis distance from zero beyond which a pair of
// coefficients estimated with noise of `dof` degrees of freedom stands clear
// of it at false-alarm chance `alpha`: 2 F(2, dof) quantile, dof (alpha^(-2/dof) - 1),
// exact for the F distribution with 2 numerator degrees of freedom.
double clearanceThreshold(double dof, double alpha);

// The noise behind one harmonic's coefficients: the variance per sample and
// the degrees of freedom it was estimated with.
struct HarmonicNoise {
    double variance = 0.0;  // sample units squared
    double dof = 0.0;
};

// Harmonic k's noise: the block's residual, or the lead-in's at k f where that
// is larger (hum or coloured noise at the harmonic's own frequency).
HarmonicNoise harmonicNoise(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, int k,
                            const LeadInSpan& leadIn);

// The harmonics reported are those whose intervals hold jointly over the
// harmonics of a sweep of up to this many (a thousand tones' worth): each is
// tested at 5 % / kHarmonicFamily (Bonferroni), so that a linear device shows
// no harmonic in all but about one sweep in twenty.
inline constexpr double kHarmonicFamily = 10000.0;

// Fills h2..h10 (dBc) with the harmonics that stand clear of their noise (their
// joint interval excludes zero) and of what 16-bit rounding alone could put
// there, and THD (IEC 60268-3: their root sum of squares against the
// fundamental) where the harmonics that do not could add at most 0.1 dB to it.
// Otherwise THD is given only as an upper bound, thdDbUpper: the root sum of
// squares of every harmonic's upper interval limit.
void fillDistortion(const HarmonicFit& fit, std::size_t count, double cyclesPerSample, const LeadInSpan& leadIn,
                    ToneQuality& quality);

}  // namespace auralyn::analysis
