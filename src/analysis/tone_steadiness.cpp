#include "analysis/tone_steadiness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

#include "analysis/lead_in_noise.h"
#include "analysis/median.h"

namespace auralyn::analysis {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Below a residual of one 16-bit step RMS what differs from tone to tone is
// the rounding and the chain's own deterministic leftovers (a resampler near
// the band's edge), not noise that came and went: no burst is told there.
constexpr double kBurstFloorVariance = 1.0;
// The halves are compared to this relative precision at best: the arithmetic
// of the fits and the sweep's own 16-bit rounding leave less than this.
constexpr double kRelativeFloor = 1e-5;
constexpr int kNeighbours = 3;
constexpr double kMinResidualDof = 16.0;
// Below this amplitude (sample units) a run of one value is what rounding makes of the tone.
constexpr double kMinGapAmplitude = 4.0;
constexpr std::size_t kMinGapRun = 32;

struct Halves {
    HarmonicFit first;
    HarmonicFit second;
};

// Both halves fitted with the block's start as their time origin, so that a
// steady tone gives both the same coefficients.
Halves fitHalves(const ToneBlock& block) {
    const std::size_t half = block.count / 2;
    return {fitHarmonics(block.samples, half, block.firstTime, block.cyclesPerSample),
            fitHarmonics(block.samples + half, block.count - half, block.firstTime + static_cast<double>(half),
                         block.cyclesPerSample)};
}

double residualVariance(const HarmonicFit& fit) {
    const double dof = static_cast<double>(fit.count) - fit.parameters();
    if (!fit.valid || dof < 1.0) return 0.0;
    return fit.residualSquares / dof;
}

// The noise behind the halves' comparison: the silence's at this frequency,
// where there is a silence, else the quieter half's residual. Not the
// residual where a silence tells: a burst, or a room still ringing with the
// tones before, raises the residual across the band and would hide the very
// change the halves are compared for.
double halvesNoiseVariance(const ToneBlock& block, const Halves& halves) {
    if (block.leadInVariance > 0.0) return std::max(block.leadInVariance, block.roundingVariance);
    const double quieter = std::min(residualVariance(halves.first), residualVariance(halves.second));
    return std::max(quieter, block.roundingVariance);
}

// The halves' fundamentals differ by d = (dc, ds); under a steady tone d has
// covariance noise x (C1 + C2) (each half's (X^T X)^-1, Gauss-Markov) plus
// what the clock's remaining error turns into between the halves' centres
// (a phase of 2 pi f x half x u), plus a relative floor. Returns d^T S^-1 d.
double halvesDistance(const ToneBlock& block, const Halves& h, double variance) {
    const HarmonicTerm& a = h.first.terms[1];
    const HarmonicTerm& b = h.second.terms[1];
    const double dc = a.cosine - b.cosine;
    const double ds = a.sine - b.sine;
    const double amplitude = block.fit.amplitude(1);
    const double clockPhase = 2.0 * kPi * block.cyclesPerSample * 0.5 * static_cast<double>(block.count) *
                              block.clockU95Ppm * 1e-6 / 1.96;
    const double floor = amplitude * amplitude * (clockPhase * clockPhase + kRelativeFloor * kRelativeFloor);
    const double scc = variance * (h.first.cosineVariance + h.second.cosineVariance) + floor;
    const double sss = variance * (h.first.sineVariance + h.second.sineVariance) + floor;
    const double scs = variance * (h.first.cosineSineCovariance + h.second.cosineSineCovariance);
    const double det = scc * sss - scs * scs;
    if (!(det > 0.0)) return 0.0;
    return (dc * dc * sss - 2.0 * dc * ds * scs + ds * ds * scc) / det;
}

// The residual's energy over the block's four quarters.
std::array<double, 4> residualQuarters(const ToneBlock& block) {
    std::array<double, 4> quarters{};
    const HarmonicFit& fit = block.fit;
    const double w = 2.0 * kPi * block.cyclesPerSample;
    for (std::size_t n = 0; n < block.count; ++n) {
        const double t = block.firstTime + static_cast<double>(n);
        const std::complex<double> step = std::polar(1.0, w * t);
        std::complex<double> rotation = step;
        double model = fit.dc;
        for (int k = 1; k <= fit.harmonics; ++k) {
            model += fit.terms[k].cosine * rotation.real() + fit.terms[k].sine * rotation.imag();
            rotation *= step;
        }
        const double r = static_cast<double>(block.samples[n]) - model;
        quarters[std::min<std::size_t>(3, 4 * n / block.count)] += r * r;
    }
    return quarters;
}

// A room that rings into the block leaves the most at its start, decaying
// (by little along the block when it rings far longer than a tone).
bool residualDecays(const ToneBlock& block) {
    const std::array<double, 4> q = residualQuarters(block);
    return q[0] > 1.2 * q[3] && q[0] >= q[1] && q[0] >= q[2];
}

bool holdsGap(const ToneBlock& block) {
    // In steps of the recording's resolution: a coarse one holds each value longer at the crests.
    const double step = std::sqrt(block.roundingVariance / kQuantizationVariance);
    const double amplitude = block.fit.amplitude(1) / step;
    if (!(amplitude >= kMinGapAmplitude)) return false;
    const double natural = naturalRepeatedRun(amplitude, block.cyclesPerSample);
    const double limit = std::max(static_cast<double>(kMinGapRun), 4.0 * natural);
    return static_cast<double>(longestRepeatedRun(block.samples, block.count)) > limit;
}

double wrappedDegrees(double radians) { return std::remainder(radians, 2.0 * kPi) * 180.0 / kPi; }

SteadinessCheck checkHalves(const ToneBlock& block) {
    SteadinessCheck check;
    if (block.samples == nullptr || !block.fit.valid || block.count < 8) return check;
    const Halves halves = fitHalves(block);
    if (!halves.first.valid || !halves.second.valid) return check;
    check.halvesStatistic = halvesDistance(block, halves, halvesNoiseVariance(block, halves));
    const double a1 = halves.first.amplitude(1);
    const double a2 = halves.second.amplitude(1);
    if (a1 > 0.0 && a2 > 0.0) check.magnitudeSpreadDb = std::fabs(20.0 * std::log10(a1 / a2));
    check.phaseSpreadDeg = std::fabs(wrappedDegrees(halves.first.phase() - halves.second.phase()));
    return check;
}

// The tone's residual variance over the median of its neighbours'.
double residualRatio(const std::vector<ToneBlock>& blocks, std::size_t i) {
    const HarmonicFit& fit = blocks[i].fit;
    if (blocks[i].samples == nullptr || static_cast<double>(fit.count) - fit.parameters() < kMinResidualDof) return 1.0;
    std::vector<double> around;
    const std::size_t from = i >= kNeighbours ? i - kNeighbours : 0;
    const std::size_t to = std::min(blocks.size(), i + kNeighbours + 1);
    for (std::size_t j = from; j < to; ++j) {
        if (j != i && blocks[j].samples != nullptr && blocks[j].fit.valid) around.push_back(residualVariance(blocks[j].fit));
    }
    if (around.size() < 2) return 1.0;
    const double reference = std::max(median(std::move(around)), kBurstFloorVariance);
    return std::max(residualVariance(fit), kBurstFloorVariance) / reference;
}

ToneFlag classify(const ToneBlock& block, const SteadinessCheck& check) {
    if (holdsGap(block)) return ToneFlag::Gap;
    const bool burst = check.residualRatio > kBurstRatio;
    if (check.halvesStatistic > kHalvesLimit) {
        if (residualDecays(block)) return ToneFlag::Unsettled;
        return burst ? ToneFlag::Burst : ToneFlag::Unsteady;
    }
    return burst ? ToneFlag::Burst : ToneFlag::None;
}

}  // namespace

std::string flagName(ToneFlag flag) {
    switch (flag) {
        case ToneFlag::None: return "";
        case ToneFlag::Unsettled: return "unsettled";
        case ToneFlag::Gap: return "gap";
        case ToneFlag::Burst: return "burst";
        case ToneFlag::Unsteady: return "unsteady";
        case ToneFlag::Jump: return "jump";
        case ToneFlag::BelowNoise: return "below_noise";
        case ToneFlag::Clipped: return "clipped";
        case ToneFlag::Quantized: return "quantized";
    }
    return "";
}

bool breaksSteadiness(ToneFlag flag) {
    return flag == ToneFlag::Unsettled || flag == ToneFlag::Gap || flag == ToneFlag::Burst ||
           flag == ToneFlag::Unsteady || flag == ToneFlag::Jump;
}

std::size_t longestRepeatedRun(const Sample* samples, std::size_t count) {
    std::size_t longest = 0;
    std::size_t run = 0;
    for (std::size_t n = 0; n < count; ++n) {
        run = n > 0 && samples[n] == samples[n - 1] ? run + 1 : 1;
        longest = std::max(longest, run);
    }
    return longest;
}

double naturalRepeatedRun(double amplitude, double cyclesPerSample) {
    if (!(amplitude > 0.5) || !(cyclesPerSample > 0.0)) return 0.0;
    // Within acos(1 - 0.5 / A) of a crest the sine stays within half a step of it.
    const double halfWidth = std::acos(1.0 - 0.5 / amplitude);
    return 2.0 * halfWidth / (2.0 * kPi * cyclesPerSample) + 1.0;
}

SteadinessCheck checkBlock(const ToneBlock& block) {
    SteadinessCheck check = checkHalves(block);
    if (block.samples != nullptr && block.fit.valid) check.flag = classify(block, check);
    check.steady = !breaksSteadiness(check.flag);
    return check;
}

std::vector<SteadinessCheck> checkSteadiness(const std::vector<ToneBlock>& blocks) {
    std::vector<SteadinessCheck> checks;
    checks.reserve(blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        SteadinessCheck check = checkHalves(blocks[i]);
        check.residualRatio = residualRatio(blocks, i);
        if (blocks[i].samples != nullptr && blocks[i].fit.valid) check.flag = classify(blocks[i], check);
        check.steady = !breaksSteadiness(check.flag);
        checks.push_back(check);
    }
    return checks;
}

}  // namespace auralyn::analysis
