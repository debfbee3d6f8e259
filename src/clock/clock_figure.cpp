#include "clock/clock_figure.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace auralyn::clock {
namespace {

// An observation agrees with the figure when it lies within this many of its
// (scatter-scaled) standard errors.
constexpr double kAgreementSigmas = 5.0;
// At least this many observations, and this share of those offered, must agree.
constexpr std::uint32_t kMinAgreeing = 3;
constexpr double kMinAgreeingShare = 1.0 / 3.0;
constexpr double kNormal95 = 1.959963984540054;
// Tones that scatter this many times more than their errors allow do not
// share one ratio, whatever their median.
constexpr double kMaxScatter = 10.0;

struct Weighted {
    double value, weight;
};

// The precision-weighted median: robust against the observations of blocks
// that hold something else than the expected tone.
double weightedMedian(const std::vector<ClockObservation>& observations) {
    std::vector<Weighted> sorted;
    double total = 0.0;
    for (const ClockObservation& o : observations) {
        const double w = 1.0 / (o.standardError * o.standardError);
        sorted.push_back({o.ppm, w});
        total += w;
    }
    std::sort(sorted.begin(), sorted.end(), [](const Weighted& a, const Weighted& b) { return a.value < b.value; });
    double below = 0.0;
    for (const Weighted& w : sorted) {
        below += w.weight;
        if (below >= 0.5 * total) return w.value;
    }
    return sorted.back().value;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Scale of the normalised deviations (1.4826 x their median absolute value, a
// consistent estimate of the standard deviation for Gaussian errors), never
// below 1: errors larger than stated widen the agreement window.
double deviationScale(const std::vector<ClockObservation>& observations, double centre) {
    std::vector<double> deviations;
    for (const ClockObservation& o : observations) deviations.push_back(std::fabs(o.ppm - centre) / o.standardError);
    return 1.4826 * median(deviations);
}

bool usable(const ClockObservation& o) {
    return std::isfinite(o.ppm) && std::isfinite(o.standardError) && o.standardError > 0.0;
}

}  // namespace

ClockObservation observationFromTone(double nominalFrequency, double measuredFrequency, double standardError) {
    const double ratio = nominalFrequency / measuredFrequency;
    return {(ratio - 1.0) * 1e6, ratio / measuredFrequency * standardError * 1e6};
}

ClockObservation observationFromPulses(double playedSpan, double recordedSpan) {
    const double triggerSpread = std::sqrt(2.0 / 12.0);
    return {(recordedSpan / playedSpan - 1.0) * 1e6, triggerSpread / playedSpan * 1e6};
}

void RunningClock::add(const ClockObservation& o) {
    const double w = 1.0 / (o.standardError * o.standardError);
    sumWeights += w;
    sumWeighted += w * o.ppm;
    sumWeightedSquares += w * o.ppm * o.ppm;
    ++count;
}

double RunningClock::ppm() const { return count == 0 ? 0.0 : sumWeighted / sumWeights; }

double RunningClock::standardUncertainty() const {
    if (count == 0) return std::numeric_limits<double>::infinity();
    const double mean = ppm();
    const double chiSquare = std::max(0.0, sumWeightedSquares - sumWeights * mean * mean);
    const double birge = count > 1 ? std::sqrt(chiSquare / (count - 1)) : 1.0;
    return std::max(1.0, birge) / std::sqrt(sumWeights);
}

double studentT95(std::uint32_t dof) {
    static constexpr double kTable[] = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306, 2.262, 2.228,
                                        2.201,  2.179, 2.160, 2.145, 2.131, 2.120, 2.110, 2.101, 2.093, 2.086,
                                        2.080,  2.074, 2.069, 2.064, 2.060, 2.056, 2.052, 2.048, 2.045, 2.042};
    if (dof == 0) return std::numeric_limits<double>::infinity();
    if (dof <= 30) return kTable[dof - 1];
    // Cornish-Fisher expansion about the normal quantile; within 1e-3 from 30 on.
    const double z = 1.959963984540054, n = dof;
    return z + (z * z * z + z) / (4.0 * n) + (5 * std::pow(z, 5) + 16 * z * z * z + 3 * z) / (96.0 * n * n);
}

namespace {

// The interval from the stated errors: each tone's error comes from the
// residual of hundreds of samples and is well known, so the internal
// uncertainty is expanded with the normal 1.96; when the tones scatter more
// than their errors say (Birge ratio above 1) the external uncertainty,
// estimated from that scatter on n - 1 degrees of freedom, is expanded with
// Student's t instead (GUM, annex G), so that the interval covers with few
// tones as with many.
double statedErrorsU95(const RunningClock& agreeing, double birgeRatio) {
    const double internal = 1.0 / std::sqrt(agreeing.sumWeights);
    return birgeRatio > 1.0 ? studentT95(agreeing.count - 1) * birgeRatio * internal : kNormal95 * internal;
}

// Fewer effective degrees of freedom than this, and the deviations cannot
// tell the figure's spread: the stated errors do.
constexpr double kMinDeviationDof = 5.0;

// The interval from the deviations. The figure is the weighted mean
// sum(c_i x_i), c_i = w_i / W: by the law of propagation (GUM 5.1.2) its
// variance is sum(c_i^2 u_i^2), each u_i^2 evaluated (Type A, GUM 4.2) from
// the tone's own squared deviation from the figure, and divided by
// 1 - sum(c_i^2), what taking the deviations from the figure itself removes
// on average (exact where the weights are the inverse variances). So the
// stated errors only weigh the tones; a tone whose error is understated
// counts by the error it shows, however its neighbours' are stated, whereas
// the Birge ratio would widen every tone's share by its scatter. Expanded
// with Student's t on the Welch-Satterthwaite degrees of freedom (GUM G.4.1,
// each term on one), at most n - 1. Returns 0 where the deviations cannot
// tell: fewer than kMinDeviationDof effective degrees of freedom.
// The propagation takes the tones as uncorrelated, the assumption the
// estimate rests on: tones that share a cause of error (blocks placed off
// their tones alike) add their errors, not their squares, while each one's
// share and deviation stay small. The walk keeps such tones out of the
// observations (clock_walk.cpp).
double deviationsU95(const std::vector<ClockObservation>& agreeing, double mean) {
    double totalWeight = 0.0;
    for (const ClockObservation& o : agreeing) totalWeight += 1.0 / (o.standardError * o.standardError);
    double variance = 0.0, squaredTerms = 0.0, leverage = 0.0;
    for (const ClockObservation& o : agreeing) {
        const double share = 1.0 / (o.standardError * o.standardError) / totalWeight;
        const double term = share * share * (o.ppm - mean) * (o.ppm - mean);
        variance += term;
        squaredTerms += term * term;
        leverage += share * share;
    }
    if (!(variance > 0.0) || !(leverage < 1.0)) return 0.0;
    const double dof = std::min(variance * variance / squaredTerms, static_cast<double>(agreeing.size() - 1));
    if (dof < kMinDeviationDof) return 0.0;
    return studentT95(static_cast<std::uint32_t>(dof)) * std::sqrt(variance / (1.0 - leverage));
}

}  // namespace

// Robust combination: the weighted median picks the ratio most observations
// share; those within kAgreementSigmas scaled errors of it form the figure as
// their precision-weighted mean, its interval as `spread` says.
ClockFigure combineObservations(const std::vector<ClockObservation>& observations, std::uint32_t offered,
                                double floorPpm, FigureSpread spread) {
    ClockFigure figure;
    figure.offered = offered;
    std::vector<ClockObservation> valid;
    for (const ClockObservation& o : observations)
        if (usable(o)) valid.push_back({o.ppm, std::hypot(o.standardError, floorPpm)});
    if (valid.empty()) return figure;
    const double centre = weightedMedian(valid);
    const double scale = std::max(1.0, deviationScale(valid, centre));
    if (scale > kMaxScatter) return figure;
    RunningClock running;
    std::vector<ClockObservation> agreeing;
    for (const ClockObservation& o : valid) {
        if (std::fabs(o.ppm - centre) > kAgreementSigmas * scale * o.standardError) continue;
        running.add(o);
        agreeing.push_back(o);
    }
    figure.agreeing = running.count;
    if (running.count < kMinAgreeing || running.count < kMinAgreeingShare * offered) return figure;
    const double mean = running.ppm();
    const double chiSquare = std::max(0.0, running.sumWeightedSquares - running.sumWeights * mean * mean);
    figure.birgeRatio = std::sqrt(chiSquare / (running.count - 1));
    figure.ppm = mean;
    const double fromDeviations = spread == FigureSpread::Deviations ? deviationsU95(agreeing, mean) : 0.0;
    // Too few tones carry the figure for their deviations to tell: their
    // stated errors do. Where they tell, the interval is still no narrower
    // than the stated errors make it (the internal uncertainty), as with the
    // Birge ratio: a handful of deviations may come out small by chance, and
    // tones whose rounding lines up with them all show none.
    figure.u95 = fromDeviations > 0.0 ? std::max(fromDeviations, kNormal95 / std::sqrt(running.sumWeights))
                                      : statedErrorsU95(running, figure.birgeRatio);
    // Beyond the range only when the whole 95 % interval lies beyond it.
    figure.verdict = std::fabs(mean) - figure.u95 > kMaxClockPpm ? ClockVerdict::OutOfRange : ClockVerdict::Measured;
    return figure;
}

}  // namespace auralyn::clock
