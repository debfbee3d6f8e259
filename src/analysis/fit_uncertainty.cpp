#include "analysis/fit_uncertainty.h"

#include <algorithm>
#include <cmath>

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDbPerNeper = 8.685889638065037;  // 20 / ln 10

// Exact quantiles for 1 to 9 degrees of freedom, where the expansion is too coarse.
constexpr double kSmallDofQuantiles[] = {12.706204736174707, 4.302652729749464, 3.182446305284263,
                                         2.776445105197799,  2.570581835636314, 2.446911848791681,
                                         2.364624251010299,  2.306004135204166, 2.262157162798205};

}  // namespace

double studentT975(double dof) {
    if (!(dof >= 1.0)) return kSmallDofQuantiles[0];
    if (dof < 10.0) return kSmallDofQuantiles[static_cast<int>(dof) - 1];  // rounded down: the wider interval
    const double z = kNormal95;
    const double z3 = z * z * z;
    const double z5 = z3 * z * z;
    const double z7 = z5 * z * z;
    const double g1 = (z3 + z) / 4.0;
    const double g2 = (5.0 * z5 + 16.0 * z3 + 3.0 * z) / 96.0;
    const double g3 = (3.0 * z7 + 19.0 * z5 + 17.0 * z3 - 15.0 * z) / 384.0;
    return z + g1 / dof + g2 / (dof * dof) + g3 / (dof * dof * dof);
}

Uncertainty95 fundamentalUncertainty(const HarmonicFit& fit, double variance, double dof) {
    Uncertainty95 u;
    const double a = fit.terms[1].cosine;
    const double b = fit.terms[1].sine;
    const double power = a * a + b * b;
    if (!fit.valid || !(power > 0.0) || !(variance >= 0.0)) return u;
    const double t = studentT975(dof);
    // Var(A) A^2 = grad^T C grad with grad = (a, b); Var(phase) A^4 with grad = (b, -a).
    const double amplitudeTerm =
        variance * (a * a * fit.cosineVariance + 2.0 * a * b * fit.cosineSineCovariance + b * b * fit.sineVariance);
    const double phaseTerm =
        variance * (b * b * fit.cosineVariance - 2.0 * a * b * fit.cosineSineCovariance + a * a * fit.sineVariance);
    const double relativeSd = std::sqrt(std::fmax(0.0, amplitudeTerm)) / power;  // sd(A) / A
    const double phaseSd = std::sqrt(std::fmax(0.0, phaseTerm)) / power;         // radians
    u.magnitudeDb = std::min(kMaxMagnitudeU95Db, t * kDbPerNeper * relativeSd);
    u.phaseDeg = std::min(kMaxPhaseU95Deg, t * phaseSd * 180.0 / kPi);
    return u;
}

}  // namespace auralyn::analysis
