#include "analysis/goertzel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace auralyn::analysis {
namespace {

// Two doubles side by side (GCC and Clang vector extension): the recurrences
// are independent chains, so two of them advance per instruction.
using Pair = double __attribute__((vector_size(16)));
using Bits = std::uint64_t __attribute__((vector_size(16)));
constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;

// x times +-1: x with its sign bit flipped where `sign` holds it.
Pair withSign(Pair x, Bits sign) { return reinterpret_cast<Pair>(reinterpret_cast<Bits>(x) ^ sign); }

// Enough independent chains to fill the pipeline: a few harmonics are each run
// over several segments of the block at once, and the segments joined at the end.
constexpr int segmentsFor(int harmonics) { return harmonics >= 6 ? 1 : harmonics >= 4 ? 2 : harmonics == 3 ? 3 : 8 / harmonics; }

// Reinsch's form of the Goertzel recurrence, which keeps its accuracy where
// cos(theta) nears +-1 (low tones over long blocks, harmonics near half the
// rate), as the plain form does not: with sigma = +1 where cos(theta) >= 0,
// -1 elsewhere, lambda = 2 cos(theta) - 2 sigma,
//   d_n = (sigma d_{n-1} + y_n) + lambda s_{n-1},   s_n = d_n + sigma s_{n-1},
// which is s_n = y_n + 2 cos(theta) s_{n-1} - s_{n-2} with d_n = s_n - sigma s_{n-1}.
struct ChainConstants {
    double lambda;
    double sigma;
};

ChainConstants chainConstants(double theta) {
    const double half = 0.5 * theta;
    if (std::cos(theta) >= 0.0) return {-4.0 * std::sin(half) * std::sin(half), 1.0};
    return {4.0 * std::cos(half) * std::cos(half), -1.0};
}

// What the correlation below needs of theta alone: formed once per harmonic
// rather than once per segment, as the segments of a block share it.
struct ChainTurn {
    std::complex<double> turn;      // exp(i theta)
    std::complex<double> oneMinus;  // 1 - sigma exp(i theta)
    double sigma;
};

ChainTurn chainTurn(double theta, double sigma) {
    const double half = 0.5 * theta;
    const std::complex<double> oneMinus = sigma > 0.0
                                              ? std::complex<double>(2.0 * std::sin(half) * std::sin(half), -std::sin(theta))
                                              : std::complex<double>(2.0 * std::cos(half) * std::cos(half), std::sin(theta));
    return {std::polar(1.0, theta), oneMinus, sigma};
}

// s_{N-1} - exp(i theta) s_{N-2} from the final s and d, with
// s_{N-2} = sigma (s_{N-1} - d_{N-1}) and 1 - sigma exp(i theta) formed without cancellation.
std::complex<double> chainState(double s, double d, const ChainTurn& t) { return s * t.oneMinus + t.sigma * t.turn * d; }

// sum over n < count of y_n exp(i theta n) from the final s and d:
// exp(i theta (count - 1)) (s_{N-1} - exp(i theta) s_{N-2}).
std::complex<double> chainCorrelation(double s, double d, std::size_t count, double theta, double sigma) {
    const std::complex<double> state = chainState(s, d, chainTurn(theta, sigma));
    return std::polar(1.0, theta * (static_cast<double>(count) - 1.0)) * state;
}

// Chain c = segment * K + (k - 1); the chains advance two to an instruction.
template <int K, int S>
struct Chains {
    static constexpr int kChains = K * S;
    static constexpr int kPairs = (kChains + 1) / 2;

    Pair s[kPairs] = {};
    Pair d[kPairs] = {};
    Pair lambda[kPairs] = {};
    // sigma is +-1, and a product by it is exact: the sign bit flipped where
    // it is -1 gives the same bits at a fraction of a multiplication's cost.
    Bits sigmaSign[kPairs] = {};

    explicit Chains(const ChainConstants* constants) {
        for (int i = 0; i < kChains; ++i) {
            lambda[i / 2][i % 2] = constants[i % K].lambda;
            sigmaSign[i / 2][i % 2] = constants[i % K].sigma < 0.0 ? kSignBit : 0;
        }
    }

    void step(const double* y) {
        for (int p = 0; p < kPairs; ++p) {
            const int first = 2 * p;
            const int second = first + 1 < kChains ? first + 1 : first;
            const Pair input = {y[first / K], y[second / K]};
            const Pair next = (withSign(d[p], sigmaSign[p]) + input) + lambda[p] * s[p];
            s[p] = next + withSign(s[p], sigmaSign[p]);
            d[p] = next;
        }
    }

    double state(int chain) const { return s[chain / 2][chain % 2]; }
    double difference(int chain) const { return d[chain / 2][chain % 2]; }
};

// Where the block's first half ends among the segments: in segment
// `segment`, after `at` of its samples (the last segment runs on to the end).
struct HalfMark {
    int segment = 0;
    std::size_t at = 0;
};

template <int S>
HalfMark halfMark(std::size_t count, std::size_t length) {
    const std::size_t half = count / 2;
    const int segment = static_cast<int>(std::min<std::size_t>(S - 1, half / length));
    return {segment, half - static_cast<std::size_t>(segment) * length};
}

// The first half's correlations from the chains' states: the whole segments
// before the mark, and the marked one's state as it stood there.
template <int K, int S>
void firstHalfCorrelations(const Chains<K, S>& chains, const double* markS, const double* markD, const HalfMark& mark,
                           std::size_t length, double w, const ChainConstants* constants, GoertzelSums& first) {
    for (int k = 0; k < K; ++k) {
        const double theta = (k + 1) * w;
        const ChainTurn turn = chainTurn(theta, constants[k].sigma);
        const std::complex<double> segmentEnd = std::polar(1.0, theta * (static_cast<double>(length) - 1.0));
        std::complex<double> total = 0.0;
        for (int seg = 0; seg < mark.segment; ++seg)
            total += std::polar(1.0, theta * static_cast<double>(seg * length)) *
                     (segmentEnd * chainState(chains.state(seg * K + k), chains.difference(seg * K + k), turn));
        total += std::polar(1.0, theta * static_cast<double>(static_cast<std::size_t>(mark.segment) * length)) *
                 (std::polar(1.0, theta * (static_cast<double>(mark.at) - 1.0)) * chainState(markS[k], markD[k], turn));
        first.correlations[k] = total;
    }
}

// A segment's sum of samples and of their squares. Of 16-bit codes both are
// whole numbers well below 2^53, so they come out exact in any order.
struct PlainSums {
    double sum = 0.0;
    double squares = 0.0;
    void add(double value) {
        sum += value;
        squares += value * value;
    }
};

// The first `segments` segments' plain sums, added in their order.
void storePlainSums(const PlainSums* plain, int segments, GoertzelSums& out) {
    out.sum = 0.0;
    out.sumSquares = 0.0;
    for (int seg = 0; seg < segments; ++seg) {
        out.sum += plain[seg].sum;
        out.sumSquares += plain[seg].squares;
    }
}

// The correlations of harmonics 1..K over the whole block, times from the
// block's first sample: each segment's sum shifted to its own start. With
// `first`, the chains' states are also read where the block's first half
// ends, which gives that half's correlations (and plain sums) from the same pass.
template <int K, int S>
void runSegments(const Sample* samples, std::size_t count, double w, const ChainConstants* constants,
                 GoertzelSums& out, GoertzelSums* first) {
    const std::size_t length = count / S;
    Chains<K, S> chains(constants);
    // One pair of plain sums per segment: a single pair would make each step
    // wait on S additions in a row, longer than the chains' own step.
    PlainSums plain[S] = {};
    PlainSums markPlain;
    const HalfMark mark = first != nullptr && length > 0 ? halfMark<S>(count, length) : HalfMark{S, 0};
    double markS[K] = {};
    double markD[K] = {};
    const auto readMark = [&](const double* s, const double* d) {
        for (int k = 0; k < K; ++k) {
            markS[k] = s[k];
            markD[k] = d[k];
        }
        markPlain = plain[mark.segment];
    };
    const auto runTo = [&](std::size_t from, std::size_t to) {
        for (std::size_t n = from; n < to; ++n) {
            double y[S];
            for (int seg = 0; seg < S; ++seg) {
                y[seg] = samples[seg * length + n];
                plain[seg].add(y[seg]);
            }
            chains.step(y);
        }
    };
    const bool markInLoop = mark.segment < S && mark.at < length;
    const std::size_t split = markInLoop ? mark.at : length;
    runTo(0, split);
    if (markInLoop) {
        double s[K], d[K];
        for (int k = 0; k < K; ++k) {
            s[k] = chains.state(mark.segment * K + k);
            d[k] = chains.difference(mark.segment * K + k);
        }
        readMark(s, d);
    }
    runTo(split, length);
    // The last segment takes the samples that did not divide evenly, one chain per harmonic.
    const std::size_t lastStart = (S - 1) * length;
    double tailS[K];
    double tailD[K];
    for (int k = 0; k < K; ++k) {
        tailS[k] = chains.state((S - 1) * K + k);
        tailD[k] = chains.difference((S - 1) * K + k);
    }
    const std::size_t markInTail = mark.segment == S - 1 && !markInLoop ? lastStart + mark.at : count + 1;
    for (std::size_t n = S * length; n < count; ++n) {
        if (n == markInTail) readMark(tailS, tailD);
        const double value = samples[n];
        plain[S - 1].add(value);
        for (int k = 0; k < K; ++k) {
            const double next = (constants[k].sigma * tailD[k] + value) + constants[k].lambda * tailS[k];
            tailS[k] = next + constants[k].sigma * tailS[k];
            tailD[k] = next;
        }
    }
    if (markInTail == count) readMark(tailS, tailD);
    for (int k = 0; k < K; ++k) {
        const double theta = (k + 1) * w;
        const ChainTurn turn = chainTurn(theta, constants[k].sigma);
        const std::complex<double> segmentEnd = std::polar(1.0, theta * (static_cast<double>(length) - 1.0));
        std::complex<double> total = 0.0;
        for (int seg = 0; seg < S; ++seg) {
            const bool isLast = seg == S - 1;
            const double a = isLast ? tailS[k] : chains.state(seg * K + k);
            const double b = isLast ? tailD[k] : chains.difference(seg * K + k);
            const std::complex<double> end =
                isLast ? std::polar(1.0, theta * (static_cast<double>(count - lastStart) - 1.0)) : segmentEnd;
            total += std::polar(1.0, theta * static_cast<double>(seg * length)) * (end * chainState(a, b, turn));
        }
        out.correlations[k] = total;
    }
    storePlainSums(plain, S, out);
    if (first == nullptr || mark.segment >= S) return;
    firstHalfCorrelations(chains, markS, markD, mark, length, w, constants, *first);
    storePlainSums(plain, mark.segment, *first);
    first->sum += markPlain.sum;
    first->sumSquares += markPlain.squares;
}

using SegmentRunner = void (*)(const Sample*, std::size_t, double, const ChainConstants*, GoertzelSums&, GoertzelSums*);

template <int K>
constexpr SegmentRunner kSplit = runSegments<K, segmentsFor(K)>;

constexpr SegmentRunner kSplitRunners[kMaxHarmonic] = {kSplit<1>, kSplit<2>, kSplit<3>, kSplit<4>, kSplit<5>,
                                                       kSplit<6>, kSplit<7>, kSplit<8>, kSplit<9>, kSplit<10>};
constexpr SegmentRunner kWholeRunners[kMaxHarmonic] = {
    runSegments<1, 1>, runSegments<2, 1>, runSegments<3, 1>, runSegments<4, 1>, runSegments<5, 1>,
    runSegments<6, 1>, runSegments<7, 1>, runSegments<8, 1>, runSegments<9, 1>, runSegments<10, 1>};

// Below this, a block is not worth splitting.
constexpr std::size_t kShortestSplitBlock = 256;

}  // namespace

namespace {

void runSums(const Sample* samples, std::size_t count, double w, int harmonics, GoertzelSums& whole,
             GoertzelSums* first) {
    ChainConstants constants[kMaxHarmonic];
    for (int k = 0; k < harmonics; ++k) constants[k] = chainConstants((k + 1) * w);
    const SegmentRunner* runners = count >= kShortestSplitBlock ? kSplitRunners : kWholeRunners;
    runners[harmonics - 1](samples, count, w, constants, whole, first);
}

}  // namespace

GoertzelSums goertzelSums(const Sample* samples, std::size_t count, double w, int harmonics) {
    GoertzelSums sums;
    sums.count = count;
    if (harmonics < 1 || harmonics > kMaxHarmonic) return sums;
    runSums(samples, count, w, harmonics, sums, nullptr);
    return sums;
}

SplitSums goertzelSplitSums(const Sample* samples, std::size_t count, double w, int harmonics) {
    SplitSums split;
    const std::size_t half = count / 2;
    split.whole.count = count;
    split.first.count = half;
    split.second.count = count - half;
    if (harmonics < 1 || harmonics > kMaxHarmonic || half == 0) {
        split.whole = goertzelSums(samples, count, w, harmonics);
        return split;
    }
    runSums(samples, count, w, harmonics, split.whole, &split.first);
    split.second.sum = split.whole.sum - split.first.sum;
    split.second.sumSquares = split.whole.sumSquares - split.first.sumSquares;
    // The second half's correlations are what the first leaves of the whole,
    // turned to the second half's own first sample.
    for (int k = 0; k < harmonics; ++k)
        split.second.correlations[k] = (split.whole.correlations[k] - split.first.correlations[k]) *
                                       std::polar(1.0, -(k + 1) * w * static_cast<double>(half));
    return split;
}

std::complex<double> sequenceCorrelation(const double* values, std::size_t count, double theta) {
    if (count == 0) return 0.0;
    const ChainConstants c = chainConstants(theta);
    double s = 0.0;
    double d = 0.0;
    for (std::size_t n = 0; n < count; ++n) {
        const double next = (c.sigma * d + values[n]) + c.lambda * s;
        s = next + c.sigma * s;
        d = next;
    }
    return chainCorrelation(s, d, count, theta, c.sigma);
}

namespace {

// Up to this many chains of sequenceCorrelations advance together.
constexpr std::size_t kChainsAtOnce = 8;

// G chains over their common length `count`, from and to the states s, d.
template <std::size_t G>
void advanceChains(const double* const* values, std::size_t from, std::size_t to, const ChainConstants* c,
                   double* s, double* d) {
    double ls[G], ld[G], lambda[G], sigma[G];
    for (std::size_t g = 0; g < G; ++g) {
        ls[g] = s[g];
        ld[g] = d[g];
        lambda[g] = c[g].lambda;
        sigma[g] = c[g].sigma;
    }
    for (std::size_t n = from; n < to; ++n) {
        for (std::size_t g = 0; g < G; ++g) {
            const double next = (sigma[g] * ld[g] + values[g][n]) + lambda[g] * ls[g];
            ls[g] = next + sigma[g] * ls[g];
            ld[g] = next;
        }
    }
    for (std::size_t g = 0; g < G; ++g) {
        s[g] = ls[g];
        d[g] = ld[g];
    }
}

using ChainAdvance = void (*)(const double* const*, std::size_t, std::size_t, const ChainConstants*, double*, double*);
constexpr ChainAdvance kChainAdvances[kChainsAtOnce] = {advanceChains<1>, advanceChains<2>, advanceChains<3>,
                                                        advanceChains<4>, advanceChains<5>, advanceChains<6>,
                                                        advanceChains<7>, advanceChains<8>};

// One group of chains, sorted by length (longest first): all run to the
// shortest's end together, then the longer ones on without it.
void correlateGroup(const double* const* values, const std::size_t* counts, const double* thetas, std::size_t chains,
                    std::complex<double>* out) {
    ChainConstants constants[kChainsAtOnce];
    double s[kChainsAtOnce] = {};
    double d[kChainsAtOnce] = {};
    for (std::size_t g = 0; g < chains; ++g) constants[g] = chainConstants(thetas[g]);
    std::size_t done = 0;
    for (std::size_t running = chains; running > 0; --running) {
        const std::size_t end = counts[running - 1];
        if (end > done) kChainAdvances[running - 1](values, done, end, constants, s, d);
        done = std::max(done, end);
    }
    for (std::size_t g = 0; g < chains; ++g)
        out[g] = counts[g] == 0 ? std::complex<double>() : chainCorrelation(s[g], d[g], counts[g], thetas[g], constants[g].sigma);
}

}  // namespace

void sequenceCorrelations(const double* const* values, const std::size_t* counts, const double* thetas,
                          std::size_t chains, std::complex<double>* out) {
    // Longest first, so that a group's chains drop out from its end.
    constexpr std::size_t kLocalChains = 64;
    std::size_t local[kLocalChains];
    std::vector<std::size_t> many(chains > kLocalChains ? chains : 0);
    std::size_t* const order = chains > kLocalChains ? many.data() : local;
    for (std::size_t c = 0; c < chains; ++c) order[c] = c;
    std::stable_sort(order, order + chains, [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    for (std::size_t first = 0; first < chains; first += kChainsAtOnce) {
        const std::size_t group = std::min(kChainsAtOnce, chains - first);
        const double* groupValues[kChainsAtOnce];
        std::size_t groupCounts[kChainsAtOnce];
        double groupThetas[kChainsAtOnce];
        std::complex<double> groupOut[kChainsAtOnce];
        for (std::size_t g = 0; g < group; ++g) {
            const std::size_t c = order[first + g];
            groupValues[g] = values[c];
            groupCounts[g] = counts[c];
            groupThetas[g] = thetas[c];
        }
        correlateGroup(groupValues, groupCounts, groupThetas, group, groupOut);
        for (std::size_t g = 0; g < group; ++g) out[order[first + g]] = groupOut[g];
    }
}

std::complex<double> toneCorrelation(double last, double previous, std::size_t count, double t0, double theta) {
    const std::complex<double> state = last - std::polar(previous, theta);
    return std::polar(1.0, theta * (t0 + static_cast<double>(count) - 1.0)) * state;
}

}  // namespace auralyn::analysis
