#include "analysis/phase_clock.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <vector>

#include "analysis/angles.h"
#include "analysis/method_bias.h"
#include "analysis/small_cholesky.h"

namespace auralyn::analysis {
namespace {

constexpr int kUnknowns = 3;  // c, s, d
using Row = std::array<double, kUnknowns>;

// The device's phase is free: a prior this wide only keeps the first solve defined.
constexpr double kConstantPriorSd = 1e3;
constexpr int kMaxGrowingPasses = 50;
constexpr double kNormal99 = 2.326347874040841;

// The normal equations of the fit so far.
struct Normal {
    std::array<Row, kUnknowns> m{};
    Row b{};

    void add(const Row& x, double y, double weight) {
        for (int i = 0; i < kUnknowns; ++i) {
            b[i] += weight * x[i] * y;
            for (int j = 0; j < kUnknowns; ++j) m[i][j] += weight * x[i] * x[j];
        }
    }
};

struct Solved {
    bool valid = false;
    SquareMatrix factor{};
    Row p{};
};

Solved solve(const Normal& n) {
    Solved s;
    for (int i = 0; i < kUnknowns; ++i)
        for (int j = 0; j < kUnknowns; ++j) s.factor[i][j] = n.m[i][j];
    if (!choleskyFactor(s.factor, kUnknowns, 1e-14)) return s;
    Vector v{};
    for (int i = 0; i < kUnknowns; ++i) v[i] = n.b[i];
    choleskySolve(s.factor, kUnknowns, v);
    for (int i = 0; i < kUnknowns; ++i) s.p[i] = v[i];
    s.valid = true;
    return s;
}

// x M^-1 x^T: the variance of the fit's prediction along x.
double predictionVariance(const Solved& s, const Row& x) {
    Vector v{};
    for (int i = 0; i < kUnknowns; ++i) v[i] = x[i];
    choleskySolve(s.factor, kUnknowns, v);
    double sum = 0.0;
    for (int i = 0; i < kUnknowns; ++i) sum += x[i] * v[i];
    return sum;
}

double dot(const Row& x, const Row& p) { return x[0] * p[0] + x[1] * p[1] + x[2] * p[2]; }

Row rowOf(const ClockPhase& t) {
    const double omega = kTwoPi * t.cyclesPerSample;
    return {1.0, -omega, -omega * t.time};
}

double sigmaOf(const ClockPhase& t) { return std::hypot(t.sigma, t.unmodelled); }

bool usable(const ClockPhase& t) {
    return std::isfinite(t.phase) && std::isfinite(t.time) && t.sigma > 0.0 && std::isfinite(t.sigma) &&
           t.cyclesPerSample > 0.0;
}

Normal priors(double ratioPriorMean, double ratioPriorSd, double startPriorSd) {
    Normal n;
    n.b[2] = ratioPriorMean / (ratioPriorSd * ratioPriorSd);
    n.m[0][0] = 1.0 / (kConstantPriorSd * kConstantPriorSd);
    n.m[1][1] = 1.0 / (startPriorSd * startPriorSd);
    n.m[2][2] = 1.0 / (ratioPriorSd * ratioPriorSd);
    return n;
}

// The upper 99 % point of chi-square on `dof` degrees of freedom
// (Wilson and Hilferty's cube-root normal approximation).
double chiSquare99(double dof) {
    const double a = 2.0 / (9.0 * dof);
    const double cube = 1.0 - a + kNormal99 * std::sqrt(a);
    return dof * cube * cube * cube;
}

// Tones taken so far, each with its phase on the branch it was taken at.
struct Grown {
    std::vector<bool> taken;
    std::vector<double> unwrapped;
    std::size_t count = 0;
};

// Takes every tone the fit so far predicts well enough, pass after pass in
// time order, until no more can be taken.
Grown grow(std::span<const ClockPhase> tones, const std::vector<std::size_t>& order, const Normal& prior) {
    Grown g{std::vector<bool>(tones.size(), false), std::vector<double>(tones.size(), 0.0), 0};
    Normal normal = prior;
    for (int pass = 0; pass < kMaxGrowingPasses; ++pass) {
        std::size_t added = 0;
        for (const std::size_t k : order) {
            if (g.taken[k]) continue;
            const ClockPhase& t = tones[k];
            const Row x = rowOf(t);
            const double sigma = sigmaOf(t);
            double value = t.phase;
            // The first tone sets the device's phase: any branch will do.
            if (g.count > 0) {
                const Solved fit = solve(normal);
                if (!fit.valid) return g;
                const double predicted = dot(x, fit.p);
                if (!(predictionVariance(fit, x) <= kMaxPredictionSd * kMaxPredictionSd)) continue;
                value = predicted + wrappedRadians(t.phase - predicted);
            }
            normal.add(x, value, 1.0 / (sigma * sigma));
            g.taken[k] = true;
            g.unwrapped[k] = value;
            ++g.count;
            ++added;
        }
        if (added == 0) break;
    }
    return g;
}

double weightOf(const ClockPhase& t) { return 1.0 / (sigmaOf(t) * sigmaOf(t)); }

// The fit of the tones taken, each on the branch nearest what `around` predicts.
Solved refit(std::span<const ClockPhase> tones, const Grown& grown, const Normal& prior, const Row& around) {
    Normal normal = prior;
    for (std::size_t k = 0; k < tones.size(); ++k) {
        if (!grown.taken[k]) continue;
        const Row x = rowOf(tones[k]);
        const double predicted = dot(x, around);
        normal.add(x, predicted + wrappedRadians(tones[k].phase - predicted), weightOf(tones[k]));
    }
    return solve(normal);
}

double chiSquareOf(std::span<const ClockPhase> tones, const Grown& grown, const Row& p) {
    double sum = 0.0;
    for (std::size_t k = 0; k < tones.size(); ++k) {
        if (!grown.taken[k]) continue;
        const double residual = wrappedRadians(tones[k].phase - dot(rowOf(tones[k]), p));
        sum += residual * residual * weightOf(tones[k]);
    }
    return sum;
}

// The ratio's standard uncertainty: the fit's own, widened by the Birge ratio
// where the tones scatter more than their noise says (GUM, Type A). A device
// phase bent exactly as a clock error bends it is absorbed into d and shows
// in no residual: only the prior (the frequencies) and the test's power
// against the rest of a real device's bend guard against it.
double ratioUncertainty(double fitSd, double chiSquare, double dof) {
    return std::max(1.0, std::sqrt(chiSquare / dof)) * fitSd;
}

}  // namespace

double clockPhaseBias(double amplitude, double residualRms, double cyclesPerSample, double playedCyclesPerSample,
                      double blockLength) {
    // 16-bit steps: a finer recording only rounds less.
    constexpr double kStep = 1.0;
    constexpr double kPlayedFullScale = 32767.0;
    const double played = repeatingRoundingVariance(playedCyclesPerSample, blockLength) /
                          (kPlayedFullScale * kPlayedFullScale);
    const bool recordedRepeats = amplitude > 0.0 && !dithered(residualRms, kStep);
    const double recorded =
        recordedRepeats ? repeatingRoundingVariance(cyclesPerSample, blockLength) / (amplitude * amplitude) : 0.0;
    return std::sqrt(played + recorded);
}

PhaseClock fitPhaseClock(std::span<const ClockPhase> tones, double ratioPriorMean, double ratioPriorSd,
                         double startPriorSd) {
    PhaseClock result;
    if (!(ratioPriorSd > 0.0) || !(startPriorSd > 0.0)) return result;
    std::vector<std::size_t> order;
    for (std::size_t k = 0; k < tones.size(); ++k)
        if (usable(tones[k])) order.push_back(k);
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return tones[a].time < tones[b].time; });
    const Normal prior = priors(ratioPriorMean, ratioPriorSd, startPriorSd);
    const Grown grown = grow(tones, order, prior);
    if (grown.count < kMinClockPhaseTones) return result;
    // Once with the branches the tones were taken at, once more with each
    // brought to the branch the whole fit predicts.
    Normal taken = prior;
    for (const std::size_t k : order)
        if (grown.taken[k]) taken.add(rowOf(tones[k]), grown.unwrapped[k], weightOf(tones[k]));
    const Solved first = solve(taken);
    if (!first.valid) return result;
    const Solved fit = refit(tones, grown, prior, first.p);
    if (!fit.valid) return result;
    // The prior's own residual counts: the frequency estimates are one more observation of d.
    const double fromPrior = (fit.p[2] - ratioPriorMean) / ratioPriorSd;
    const double chiSquare = chiSquareOf(tones, grown, fit.p) + fromPrior * fromPrior;
    const std::size_t dof = grown.count + 1 - kUnknowns;
    result.ratioShift = fit.p[2];
    result.startShift = fit.p[1];
    result.ratioSd = ratioUncertainty(std::sqrt(predictionVariance(fit, Row{0.0, 0.0, 1.0})), chiSquare,
                                      static_cast<double>(dof));
    result.chiSquare = chiSquare;
    result.degreesOfFreedom = dof;
    result.tones = grown.count;
    const bool consistent = chiSquare <= chiSquare99(static_cast<double>(dof));
    const bool agrees = std::fabs(result.ratioShift - ratioPriorMean) <=
                        kPriorAgreementSigmas * std::hypot(ratioPriorSd, result.ratioSd);
    result.accepted = consistent && agrees;
    return result;
}

}  // namespace auralyn::analysis
