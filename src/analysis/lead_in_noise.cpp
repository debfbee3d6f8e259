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
    choleskySolve(solver.factor, 3, solver.cosine);
    solver.sine[2] = 1.0;
    choleskySolve(solver.factor, 3, solver.sine);
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

// The same sum from the blocks' moments: each block's fitted coefficients are
// u.r_b and v.r_b (u, v the solver's rows, r_b = (S_b, Re X_b, Im X_b)), so
// the summed power is u^T M u + v^T M v with M = sum_b r_b r_b^T.
double summedPowerFromMoments(const ThreeParameterSolver& solver, const LeadInMoments& moments, double w) {
    const BlockSpectrum s = blockSpectrum(moments, w);
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
    if (leadIn.samples == nullptr || blockLength < 4 || !(cyclesPerSample > 0.0 && cyclesPerSample < 0.5))
        return std::nullopt;
    const std::size_t length = noiseBlockLength(leadIn.count, blockLength, cyclesPerSample);
    const std::size_t blocks = std::min(leadIn.count / length, kMaxNoiseBlocks);
    if (blocks == 0) return std::nullopt;
    const double w = kTwoPi * cyclesPerSample;
    const auto solver = threeParameterSolver(length, w);
    const auto tone = threeParameterSolver(blockLength, w);
    if (!solver || !tone) return std::nullopt;

    const Sample* const end = leadIn.samples + leadIn.count;
    const LeadInMoments* moments = leadIn.moments ? leadIn.moments->find(end, length, blocks) : nullptr;
    const double power = moments != nullptr ? summedPowerFromMoments(*solver, *moments, w)
                                            : summedPowerByBlocks(*solver, end, length, blocks, w);

    LeadInNoise noise;
    noise.blocks = blocks;
    noise.blockLength = length;
    const double meanPower = power / static_cast<double>(blocks);
    noise.variance = meanPower / solver->noiseGain;
    if (noise.variance < leadIn.roundingVariance) {
        noise.variance = leadIn.roundingVariance;
        noise.quantizationLimited = true;
    }
    noise.amplitudeRms = std::sqrt(noise.variance * tone->noiseGain);
    return noise;
}

}  // namespace auralyn::analysis
