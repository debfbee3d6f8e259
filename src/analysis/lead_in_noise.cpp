#include "analysis/lead_in_noise.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <mutex>
#include <unordered_map>

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

// A block's three-parameter fit (DC, cosine, sine at w): the Cholesky factor of
// its Gram matrix and the rows of the inverse that give the fundamental's
// coefficients, kept to their 3 x 3 size so that many can be remembered.
struct ThreeParameterSolver {
    double factor[3][3] = {};  // lower triangle
    double cosine[3] = {};     // (X^T X)^-1 e_cos and e_sin
    double sine[3] = {};
    double noiseGain = 0.0;
};

std::optional<ThreeParameterSolver> threeParameterSolver(std::size_t blockLength, double w) {
    SquareMatrix gram{};
    sinusoidGram(blockLength, 0.0, w, 1, gram);
    if (!choleskyFactor(gram, 3)) return std::nullopt;
    Vector cosine{};
    cosine[1] = 1.0;
    choleskySolveFrom(gram, 3, 1, cosine);
    Vector sine{};
    sine[2] = 1.0;
    choleskySolveFrom(gram, 3, 2, sine);
    ThreeParameterSolver solver;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) solver.factor[i][j] = gram[i][j];
        solver.cosine[i] = cosine[i];
        solver.sine[i] = sine[i];
    }
    solver.noiseGain = solver.cosine[1] + solver.sine[2];
    return solver;
}

// choleskySolve (small_cholesky.h) of the 3 x 3 factor: the same operations in
// the same order, so the same result to the bit.
void solveThree(const double (&l)[3][3], double (&b)[3]) {
    for (int i = 0; i < 3; ++i) {
        double sum = b[i];
        for (int k = 0; k < i; ++k) sum -= l[i][k] * b[k];
        b[i] = sum / l[i][i];
    }
    for (int i = 2; i >= 0; --i) {
        double sum = b[i];
        for (int k = i + 1; k < 3; ++k) sum -= l[k][i] * b[k];
        b[i] = sum / l[i][i];
    }
}

double fundamentalPower(const ThreeParameterSolver& solver, const BlockState& state, std::size_t count, double w) {
    const std::complex<double> p = toneCorrelation(state.last, state.previous, count, 0.0, w);
    double r[3] = {state.sum, p.real(), p.imag()};
    solveThree(solver.factor, r);
    return r[1] * r[1] + r[2] * r[2];
}

}  // namespace

class NoiseSolverCache {
public:
    // The solver of blocks of `length` samples at w, or null where the fit is
    // singular; valid as long as the cache.
    const ThreeParameterSolver* find(std::size_t length, double w) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto [entry, added] = solvers_.try_emplace(Key{length, w});
        if (added) entry->second = threeParameterSolver(length, w);
        return entry->second ? &*entry->second : nullptr;
    }

private:
    struct Key {
        std::size_t length = 0;
        double w = 0.0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const {
            const auto bits = std::bit_cast<std::uint64_t>(key.w);
            return std::hash<std::uint64_t>{}(bits ^ (key.length * 0x9E3779B97F4A7C15ull));
        }
    };
    std::mutex mutex_;
    std::unordered_map<Key, std::optional<ThreeParameterSolver>, KeyHash> solvers_;
};

std::shared_ptr<NoiseSolverCache> makeNoiseSolverCache() { return std::make_shared<NoiseSolverCache>(); }

namespace {

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
    for (const double* row : {solver.cosine, solver.sine}) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) power += row[i] * m[i][j] * row[j];
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
    const ThreeParameterSolver* solver = nullptr;  // the lead-in's, see NoiseSolverCache
    double toneGain = 0.0;  // the tone's own block's noise gain
    const LeadInMoments* moments = nullptr;
    double power = 0.0;     // the fundamental's power summed over the blocks
};

std::optional<NoiseAtFrequency> planNoise(const LeadInSpan& leadIn, NoiseSolverCache& solvers, std::size_t blockLength,
                                          double cyclesPerSample) {
    if (leadIn.samples == nullptr || blockLength < 4 || !(cyclesPerSample > 0.0 && cyclesPerSample < 0.5))
        return std::nullopt;
    NoiseAtFrequency plan;
    plan.length = noiseBlockLength(leadIn.count, blockLength, cyclesPerSample);
    plan.blocks = std::min(leadIn.count / plan.length, kMaxNoiseBlocks);
    if (plan.blocks == 0) return std::nullopt;
    plan.w = kTwoPi * cyclesPerSample;
    plan.solver = solvers.find(plan.length, plan.w);
    if (plan.solver == nullptr) return std::nullopt;
    // Blocks of the tone's own length (the usual case) share its solver.
    if (plan.length == blockLength) {
        plan.toneGain = plan.solver->noiseGain;
    } else {
        const ThreeParameterSolver* tone = solvers.find(blockLength, plan.w);
        if (tone == nullptr) return std::nullopt;
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
            plan.power = summedPowerByBlocks(*plan.solver, end, plan.length, plan.blocks, plan.w);
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
        for (std::size_t k = 0; k < sharing.size(); ++k) sharing[k]->power = summedPowerFromSpectrum(*sharing[k]->solver, spectra[k]);
    }
}

LeadInNoise noiseFrom(const NoiseAtFrequency& plan, double roundingVariance) {
    LeadInNoise noise;
    noise.blocks = plan.blocks;
    noise.blockLength = plan.length;
    const double meanPower = plan.power / static_cast<double>(plan.blocks);
    noise.variance = meanPower / plan.solver->noiseGain;
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
    // A span made without the shared cache gets one for this call.
    const std::shared_ptr<NoiseSolverCache> solvers = leadIn.solvers ? leadIn.solvers : makeNoiseSolverCache();
    std::vector<std::optional<NoiseAtFrequency>> plans;
    plans.reserve(count);
    std::vector<NoiseAtFrequency*> planned;
    for (std::size_t f = 0; f < count; ++f) {
        plans.push_back(planNoise(leadIn, *solvers, blockLength, cyclesPerSample[f]));
        if (plans.back()) planned.push_back(&*plans.back());
    }
    sumPowers(leadIn, planned);
    for (std::size_t f = 0; f < count; ++f)
        out[f] = plans[f] ? std::optional<LeadInNoise>(noiseFrom(*plans[f], leadIn.roundingVariance)) : std::nullopt;
}

}  // namespace auralyn::analysis
