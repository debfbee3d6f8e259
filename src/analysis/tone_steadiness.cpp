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
// The residual's model takes its phase afresh this often (samples).
constexpr std::size_t kExactPhasorEvery = 64;

double residualVariance(const HarmonicFit& fit) {
    const double dof = static_cast<double>(fit.count) - fit.parameters();
    if (!fit.valid || dof < 1.0) return 0.0;
    return fit.residualSquares / dof;
}

double wrappedDegrees(double radians) { return std::remainder(radians, 2.0 * kPi) * 180.0 / kPi; }

// The noise behind the halves' comparison: the silence's at this frequency,
// where there is a silence, else the quieter half's residual. Not the
// residual where a silence tells: a burst, or a room still ringing with the
// tones before, raises the residual across the band and would hide the very
// change the halves are compared for.
double halvesNoiseVariance(const ToneBlock& block, const HalvesFit& halves) {
    if (block.leadInVariance > 0.0) return std::max(block.leadInVariance, block.roundingVariance);
    return std::max(halves.quieterResidualVariance, block.roundingVariance);
}

// The halves' fundamentals differ by d = (dc, ds); under a steady tone d has
// covariance noise x (C1 + C2) (each half's (X^T X)^-1, Gauss-Markov) plus
// what the clock's remaining error turns into between the halves' centres
// (a phase of 2 pi f x half x u), plus a relative floor. Returns d^T S^-1 d.
double halvesDistance(const ToneBlock& block, const HalvesFit& h, double variance) {
    const double dc = h.cosineDifference;
    const double ds = h.sineDifference;
    const double amplitude = block.fit.amplitude(1);
    const double clockPhase = 2.0 * kPi * block.cyclesPerSample * 0.5 * static_cast<double>(block.count) *
                              block.clockU95Ppm * 1e-6 / 1.96;
    const double floor = amplitude * amplitude * (clockPhase * clockPhase + kRelativeFloor * kRelativeFloor);
    const double scc = variance * h.cosineVariance + floor;
    const double sss = variance * h.sineVariance + floor;
    const double scs = variance * h.cosineSineCovariance;
    const double det = scc * sss - scs * scs;
    if (!(det > 0.0)) return 0.0;
    return (dc * dc * sss - 2.0 * dc * ds * scs + ds * ds * scc) / det;
}

// The residual's energy over the block's four quarters.
std::array<double, 4> residualQuarters(const ToneBlock& block) {
    std::array<double, 4> quarters{};
    const HarmonicFit& fit = block.fit;
    const double w = 2.0 * kPi * block.cyclesPerSample;
    const std::complex<double> advance = std::polar(1.0, w);
    std::complex<double> phasor;
    for (std::size_t n = 0; n < block.count; ++n) {
        // exp(i w t) by rotation from sample to sample, taken afresh every
        // kExactPhasorEvery samples before rounding can gather.
        const double t = block.firstTime + static_cast<double>(n);
        phasor = n % kExactPhasorEvery == 0 ? std::polar(1.0, w * t) : phasor * advance;
        const std::complex<double> step = phasor;
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
    const bool measured = block.halves != nullptr && halvesOf(*block.halves, block);
    const std::size_t run = measured ? block.halves->longestRun : longestRepeatedRun(block.samples, block.count);
    return static_cast<double>(run) > limit;
}

SteadinessCheck checkHalves(const ToneBlock& block) {
    SteadinessCheck check;
    if (block.samples == nullptr || !block.fit.valid || block.count < 8) return check;
    const bool fittedAlready = block.halves != nullptr && halvesOf(*block.halves, block);
    const HalvesFit halves = fittedAlready ? *block.halves : fitHalves(block);
    if (!halves.valid) return check;
    check.halvesStatistic = halvesDistance(block, halves, halvesNoiseVariance(block, halves));
    check.magnitudeSpreadDb = halves.magnitudeSpreadDb;
    check.phaseSpreadDeg = halves.phaseSpreadDeg;
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

HalvesFit fitHalves(const ToneBlock& block) {
    if (block.samples == nullptr) return halvesFrom(block, HarmonicFit{}, HarmonicFit{});
    // Only the fundamental's covariance enters the comparison.
    const std::size_t half = block.count / 2;
    const HarmonicFit first =
        fitHarmonics(block.samples, half, block.firstTime, block.cyclesPerSample, FitCovariances::FundamentalOnly);
    const HarmonicFit second = fitHarmonics(block.samples + half, block.count - half,
                                            block.firstTime + static_cast<double>(half), block.cyclesPerSample,
                                            FitCovariances::FundamentalOnly);
    return halvesFrom(block, first, second);
}

HalvesFit halvesFrom(const ToneBlock& block, const HarmonicFit& first, const HarmonicFit& second) {
    HalvesFit h;
    h.samples = block.samples;
    h.count = block.count;
    h.firstTime = block.firstTime;
    h.cyclesPerSample = block.cyclesPerSample;
    if (block.samples == nullptr) return h;
    h.longestRun = longestRepeatedRun(block.samples, block.count);
    if (!first.valid || !second.valid) return h;
    h.valid = true;
    h.cosineDifference = first.terms[1].cosine - second.terms[1].cosine;
    h.sineDifference = first.terms[1].sine - second.terms[1].sine;
    h.cosineVariance = first.cosineVariance + second.cosineVariance;
    h.sineVariance = first.sineVariance + second.sineVariance;
    h.cosineSineCovariance = first.cosineSineCovariance + second.cosineSineCovariance;
    h.quieterResidualVariance = std::min(residualVariance(first), residualVariance(second));
    const double a1 = first.amplitude(1);
    const double a2 = second.amplitude(1);
    if (a1 > 0.0 && a2 > 0.0) h.magnitudeSpreadDb = std::fabs(20.0 * std::log10(a1 / a2));
    h.phaseSpreadDeg = std::fabs(wrappedDegrees(first.phase() - second.phase()));
    return h;
}

bool halvesOf(const HalvesFit& halves, const ToneBlock& block) {
    return halves.samples != nullptr && halves.samples == block.samples && halves.count == block.count &&
           halves.firstTime == block.firstTime && halves.cyclesPerSample == block.cyclesPerSample;
}

namespace {

// Samples compared with their predecessors together before the walk goes
// sample by sample: a tone changes at nearly every sample, so most stretches
// hold no repeat, and a test of a whole stretch vectorizes without a branch.
constexpr std::size_t kRunStretch = 32;

bool holdsRepeat(const Sample* samples, std::size_t from, std::size_t to) {
    int repeats = 0;
    for (std::size_t n = from; n < to; ++n) repeats |= samples[n] == samples[n - 1] ? 1 : 0;
    return repeats != 0;
}

}  // namespace

std::size_t longestRepeatedRun(const Sample* samples, std::size_t count) {
    if (count == 0) return 0;
    // A run is measured only where it ends. In a stretch without a repeat
    // every sample ends a run; all but the first end runs of one sample.
    std::size_t longest = 1;
    std::size_t start = 0;
    for (std::size_t from = 1; from < count; from += kRunStretch) {
        const std::size_t to = std::min(count, from + kRunStretch);
        if (!holdsRepeat(samples, from, to)) {
            longest = std::max(longest, from - start);
            start = to - 1;
            continue;
        }
        for (std::size_t n = from; n < to; ++n) {
            if (samples[n] == samples[n - 1]) continue;
            longest = std::max(longest, n - start);
            start = n;
        }
    }
    return std::max(longest, count - start);
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
