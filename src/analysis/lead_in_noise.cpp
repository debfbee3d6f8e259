#include "analysis/lead_in_noise.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "analysis/goertzel.h"
#include "analysis/sinusoid_gram.h"
#include "analysis/small_cholesky.h"

namespace auralyn::analysis {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kBlocksAtOnce = 8;

struct BlockState {
    double last = 0.0;
    double previous = 0.0;
    double sum = 0.0;
};

using Pair = double __attribute__((vector_size(16)));  // two chains per instruction (GCC, Clang)

// B blocks' Goertzel recurrences at the same frequency side by side: the chains
// are independent, so they overlap in the pipeline where one alone would wait.
template <int B>
void runBlocks(const Sample* const* starts, std::size_t count, double coefficient, BlockState* out) {
    constexpr int kPairs = (B + 1) / 2;
    Pair s1[kPairs] = {};
    Pair s2[kPairs] = {};
    const Pair c = {coefficient, coefficient};
    double sum[B] = {};
    for (std::size_t n = 0; n < count; ++n) {
        for (int p = 0; p < kPairs; ++p) {
            const int first = 2 * p;
            const int second = first + 1 < B ? first + 1 : first;
            const double a = starts[first][n];
            const double b = starts[second][n];
            sum[first] += a;
            if (second != first) sum[second] += b;
            const Pair input = {a, b};
            const Pair s0 = (input - s2[p]) + c * s1[p];
            s2[p] = s1[p];
            s1[p] = s0;
        }
    }
    for (int b = 0; b < B; ++b) out[b] = BlockState{s1[b / 2][b % 2], s2[b / 2][b % 2], sum[b]};
}

using BlockRunner = void (*)(const Sample* const*, std::size_t, double, BlockState*);

constexpr BlockRunner kBlockRunners[kBlocksAtOnce] = {runBlocks<1>, runBlocks<2>, runBlocks<3>, runBlocks<4>,
                                                     runBlocks<5>, runBlocks<6>, runBlocks<7>, runBlocks<8>};

struct ThreeParameterSolver {
    SquareMatrix factor{};
    Vector cosine{};  // (X^T X)^-1 e_cos and e_sin: the rows giving the fundamental's coefficients
    Vector sine{};
    double noiseGain = 0.0;
};

std::optional<ThreeParameterSolver> threeParameterSolver(std::size_t blockLength, double w) {
    ThreeParameterSolver solver;
    sinusoidGram(blockLength, 0.0, w, 1, solver.factor);
    if (!choleskyFactor(solver.factor, 3)) return std::nullopt;
    solver.cosine[1] = 1.0;
    choleskySolveFrom(solver.factor, 3, 1, solver.cosine);
    solver.sine[2] = 1.0;
    choleskySolveFrom(solver.factor, 3, 2, solver.sine);
    solver.noiseGain = solver.cosine[1] + solver.sine[2];
    return solver;
}

double fundamentalPower(const ThreeParameterSolver& solver, const BlockState& state, std::size_t count, double w) {
    const std::complex<double> p = toneCorrelation(state.last, state.previous, count, 0.0, w);
    Vector r{};
    r[0] = state.sum;
    r[1] = p.real();
    r[2] = p.imag();
    choleskySolve(solver.factor, 3, r);
    return r[1] * r[1] + r[2] * r[2];
}

// The fundamental's power summed over the blocks, one fit per block.
double summedPowerByBlocks(const ThreeParameterSolver& solver, const Sample* end, std::size_t length,
                           std::size_t blocks, double w) {
    const double coefficient = 2.0 * std::cos(w);
    double power = 0.0;
    for (std::size_t first = 0; first < blocks; first += kBlocksAtOnce) {
        const int group = static_cast<int>(std::min<std::size_t>(kBlocksAtOnce, blocks - first));
        const Sample* starts[kBlocksAtOnce];
        for (int b = 0; b < group; ++b) starts[b] = end - (first + b + 1) * length;
        BlockState states[kBlocksAtOnce];
        kBlockRunners[group - 1](starts, length, coefficient, states);
        for (int b = 0; b < group; ++b) power += fundamentalPower(solver, states[b], length, w);
    }
    return power;
}

// The same sum from the blocks' moments, given their sums at w
// (blockSpectrum): each block's fitted coefficients are u.r_b and v.r_b (u, v
// the solver's rows, r_b = (S_b, Re X_b, Im X_b)), so the summed power is
// u^T M u + v^T M v with M = sum_b r_b r_b^T.
double summedPowerFromSpectrum(const ThreeParameterSolver& solver, const BlockSpectrum& s) {
    double m[3][3];
    m[0][0] = s.sumSquared;
    m[0][1] = m[1][0] = s.withSum.real();
    m[0][2] = m[2][0] = s.withSum.imag();
    m[1][1] = 0.5 * (s.power + s.square.real());
    m[2][2] = 0.5 * (s.power - s.square.real());
    m[1][2] = m[2][1] = 0.5 * s.square.imag();
    double power = 0.0;
    for (const Vector* row : {&solver.cosine, &solver.sine}) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) power += (*row)[i] * m[i][j] * (*row)[j];
        }
    }
    return std::fmax(0.0, power);
}

// One frequency's measurement, planned: its blocks, its fits' solvers, and
// the lead-in's moments where they are built for its block length.
struct NoiseAtFrequency {
    double w = 0.0;
    std::size_t length = 0;
    std::size_t blocks = 0;
    ThreeParameterSolver solver;
    double toneGain = 0.0;  // the tone's own block's noise gain
    const LeadInMoments* moments = nullptr;
    double power = 0.0;     // the fundamental's power summed over the blocks
};

std::optional<NoiseAtFrequency> planNoise(const LeadInSpan& leadIn, std::size_t blockLength, double cyclesPerSample) {
    if (leadIn.samples == nullptr || blockLength < 4 || !(cyclesPerSample > 0.0 && cyclesPerSample < 0.5))
        return std::nullopt;
    NoiseAtFrequency plan;
    plan.length = noiseBlockLength(leadIn.count, blockLength, cyclesPerSample);
    plan.blocks = std::min(leadIn.count / plan.length, kMaxNoiseBlocks);
    if (plan.blocks == 0) return std::nullopt;
    plan.w = kTwoPi * cyclesPerSample;
    const auto solver = threeParameterSolver(plan.length, plan.w);
    if (!solver) return std::nullopt;
    plan.solver = *solver;
    // Blocks of the tone's own length (the usual case) share its solver.
    if (plan.length == blockLength) {
        plan.toneGain = solver->noiseGain;
    } else {
        const auto tone = threeParameterSolver(blockLength, plan.w);
        if (!tone) return std::nullopt;
        plan.toneGain = tone->noiseGain;
    }
    const Sample* const end = leadIn.samples + leadIn.count;
    plan.moments = leadIn.moments ? leadIn.moments->find(end, plan.length, plan.blocks) : nullptr;
    return plan;
}

// Every planned frequency's summed power: those that share moments have
// their sums evaluated together, the others are fitted block by block.
void sumPowers(const LeadInSpan& leadIn, std::vector<NoiseAtFrequency*>& plans) {
    const Sample* const end = leadIn.samples + leadIn.count;
    std::vector<double> w;
    std::vector<BlockSpectrum> spectra;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        NoiseAtFrequency& plan = *plans[i];
        if (plan.moments == nullptr) {
            plan.power = summedPowerByBlocks(plan.solver, end, plan.length, plan.blocks, plan.w);
            continue;
        }
        // The first of its moments gathers the rest of them.
        bool earlier = false;
        for (std::size_t j = 0; j < i && !earlier; ++j) earlier = plans[j]->moments == plan.moments;
        if (earlier) continue;
        std::vector<NoiseAtFrequency*> sharing;
        for (std::size_t j = i; j < plans.size(); ++j)
            if (plans[j]->moments == plan.moments) sharing.push_back(plans[j]);
        w.clear();
        for (const NoiseAtFrequency* p : sharing) w.push_back(p->w);
        spectra.assign(w.size(), BlockSpectrum{});
        leadIn.moments->spectra(*plan.moments, w.data(), w.size(), spectra.data());
        for (std::size_t k = 0; k < sharing.size(); ++k) sharing[k]->power = summedPowerFromSpectrum(sharing[k]->solver, spectra[k]);
    }
}

LeadInNoise noiseFrom(const NoiseAtFrequency& plan, double roundingVariance) {
    LeadInNoise noise;
    noise.blocks = plan.blocks;
    noise.blockLength = plan.length;
    const double meanPower = plan.power / static_cast<double>(plan.blocks);
    noise.variance = meanPower / plan.solver.noiseGain;
    if (noise.variance < roundingVariance) {
        noise.variance = roundingVariance;
        noise.quantizationLimited = true;
    }
    noise.amplitudeRms = std::sqrt(noise.variance * plan.toneGain);
    return noise;
}

}  // namespace

std::optional<double> threeParameterNoiseGain(std::size_t blockLength, double cyclesPerSample) {
    const auto solver = threeParameterSolver(blockLength, kTwoPi * cyclesPerSample);
    if (!solver) return std::nullopt;
    return solver->noiseGain;
}

std::size_t noiseBlockLength(std::size_t leadInCount, std::size_t blockLength, double cyclesPerSample) {
    if (leadInCount / blockLength >= kMaxNoiseBlocks) return blockLength;
    const auto oneCycle = static_cast<std::size_t>(std::ceil(kMinNoiseBlockCycles / cyclesPerSample));
    return std::min(blockLength, std::max(std::min(leadInCount / kMaxNoiseBlocks, kLongestShortNoiseBlock), oneCycle));
}

std::optional<LeadInNoise> measureLeadInNoise(const LeadInSpan& leadIn, std::size_t blockLength,
                                              double cyclesPerSample) {
    std::optional<LeadInNoise> noise;
    measureLeadInNoise(leadIn, blockLength, &cyclesPerSample, 1, &noise);
    return noise;
}

void measureLeadInNoise(const LeadInSpan& leadIn, std::size_t blockLength, const double* cyclesPerSample,
                        std::size_t count, std::optional<LeadInNoise>* out) {
    std::vector<std::optional<NoiseAtFrequency>> plans;
    plans.reserve(count);
    std::vector<NoiseAtFrequency*> planned;
    for (std::size_t f = 0; f < count; ++f) {
        plans.push_back(planNoise(leadIn, blockLength, cyclesPerSample[f]));
        if (plans.back()) planned.push_back(&*plans.back());
    }
    sumPowers(leadIn, planned);
    for (std::size_t f = 0; f < count; ++f)
        out[f] = plans[f] ? std::optional<LeadInNoise>(noiseFrom(*plans[f], leadIn.roundingVariance)) : std::nullopt;
}

}  // namespace auralyn::analysis
