#include "analysis/harmonic_fit.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "analysis/goertzel.h"
#include "analysis/sinusoid_gram.h"
#include "analysis/small_cholesky.h"

namespace auralyn::analysis {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// X^T y: the sum of the samples, then sum y cos(k w t), sum y sin(k w t).
Vector dataCorrelations(const GoertzelSums& sums, double t0, double w, int harmonics) {
    Vector r{};
    r[0] = sums.sum;
    for (int k = 1; k <= harmonics; ++k) {
        const std::complex<double> p = std::polar(1.0, k * w * t0) * sums.correlations[k - 1];
        r[2 * k - 1] = p.real();
        r[2 * k] = p.imag();
    }
    return r;
}

// Sum of squares left once DC and the fundamental (the first three
// parameters) are taken out: |y|^2 - 2 b^T r + b^T G b over those three.
double remainderWithoutFundamental(const SquareMatrix& gram, const Vector& beta, const Vector& r, double sumSquares) {
    double cross = 0.0;
    double quadratic = 0.0;
    for (int i = 0; i < 3; ++i) {
        cross += beta[i] * r[i];
        for (int j = 0; j < 3; ++j) quadratic += beta[i] * gram[i][j] * beta[j];
    }
    return std::fmax(0.0, sumSquares - 2.0 * cross + quadratic);
}

// Columns 2k-1 and 2k of (X^T X)^-1, solved from the Cholesky factor.
TermCovariance termCovariance(const SquareMatrix& factor, int n, int k) {
    Vector unitCosine{};
    unitCosine[2 * k - 1] = 1.0;
    choleskySolveTail(factor, n, 2 * k - 1, unitCosine);
    Vector unitSine{};
    unitSine[2 * k] = 1.0;
    choleskySolveTail(factor, n, 2 * k, unitSine);
    return {unitCosine[2 * k - 1], unitSine[2 * k], unitCosine[2 * k]};
}

// The joint fit from the block's sums with at most `maxHarmonics` harmonics.
HarmonicFit fitUpTo(const GoertzelSums& sums, double firstSampleOffset, double cyclesPerSample, int maxHarmonics,
                    FitCovariances covariances) {
    HarmonicFit fit;
    const std::size_t count = sums.count;
    fit.count = count;
    const int harmonics =
        std::isfinite(firstSampleOffset) ? std::min(maxHarmonics, fittedHarmonics(cyclesPerSample, count)) : 0;
    if (harmonics == 0) return fit;
    const int n = 1 + 2 * harmonics;
    if (count <= static_cast<std::size_t>(n)) return fit;
    const double w = kTwoPi * cyclesPerSample;
    const Vector r = dataCorrelations(sums, firstSampleOffset, w, harmonics);

    SquareMatrix gram{};
    sinusoidGram(count, firstSampleOffset, w, harmonics, gram);
    SquareMatrix factor = gram;
    if (!choleskyFactor(factor, n)) return fit;
    Vector beta = r;
    choleskySolve(factor, n, beta);

    fit.valid = true;
    fit.harmonics = harmonics;
    fit.dc = beta[0];
    for (int k = 1; k <= harmonics; ++k) fit.terms[k] = HarmonicTerm{beta[2 * k - 1], beta[2 * k]};
    fit.sumSquares = sums.sumSquares;
    double explained = 0.0;
    for (int i = 0; i < n; ++i) explained += beta[i] * r[i];
    fit.residualSquares = std::fmax(0.0, fit.sumSquares - explained);
    fit.remainderSquares = remainderWithoutFundamental(gram, beta, r, fit.sumSquares);

    const int lastCovariance = covariances == FitCovariances::Every ? harmonics : 1;
    for (int k = 1; k <= lastCovariance; ++k) fit.covariance[k] = termCovariance(factor, n, k);
    fit.cosineVariance = fit.covariance[1].cosine;
    fit.sineVariance = fit.covariance[1].sine;
    fit.cosineSineCovariance = fit.covariance[1].cross;
    return fit;
}


// The joint fit of a block's samples with at most `maxHarmonics` harmonics;
// no fit (only the count) where none fits or the samples are too few.
HarmonicFit fitSamplesUpTo(const Sample* samples, std::size_t count, double firstSampleOffset,
                           double cyclesPerSample, int maxHarmonics, FitCovariances covariances) {
    const int harmonics = (samples == nullptr || !std::isfinite(firstSampleOffset))
                              ? 0
                              : std::min(maxHarmonics, fittedHarmonics(cyclesPerSample, count));
    if (harmonics == 0 || count <= static_cast<std::size_t>(1 + 2 * harmonics)) {
        HarmonicFit fit;
        fit.count = count;
        return fit;
    }
    const GoertzelSums sums = goertzelSums(samples, count, kTwoPi * cyclesPerSample, harmonics);
    return fitUpTo(sums, firstSampleOffset, cyclesPerSample, maxHarmonics, covariances);
}

}  // namespace

double HarmonicFit::amplitude(int k) const {
    if (k < 1 || k > harmonics) return 0.0;
    return std::hypot(terms[k].cosine, terms[k].sine);
}

double HarmonicFit::phase() const {
    if (terms[1].cosine == 0.0 && terms[1].sine == 0.0) return 0.0;
    return std::atan2(terms[1].cosine, terms[1].sine);
}

int fittedHarmonics(double cyclesPerSample, std::size_t count) {
    int k = 0;
    while (k < kMaxHarmonic && harmonicFits(k + 1, cyclesPerSample, count)) ++k;
    return k;
}

bool harmonicFits(int k, double cyclesPerSample, std::size_t count) {
    const double f = k * cyclesPerSample;
    if (!(f > 0.0 && f < 0.5)) return false;
    return (1.0 - 2.0 * f) * static_cast<double>(count) >= 1.0;
}

HarmonicFit fitHarmonics(const Sample* samples, std::size_t count, double firstSampleOffset,
                         double cyclesPerSample, FitCovariances covariances) {
    return fitSamplesUpTo(samples, count, firstSampleOffset, cyclesPerSample, kMaxHarmonic, covariances);
}

HarmonicFit fitFromSums(const GoertzelSums& sums, double firstSampleOffset, double cyclesPerSample,
                        FitCovariances covariances) {
    return fitUpTo(sums, firstSampleOffset, cyclesPerSample, kMaxHarmonic, covariances);
}

HarmonicFit fitFundamental(const Sample* samples, std::size_t count, double firstSampleOffset,
                           double cyclesPerSample) {
    return fitSamplesUpTo(samples, count, firstSampleOffset, cyclesPerSample, 1, FitCovariances::FundamentalOnly);
}

}  // namespace auralyn::analysis
