#include "measurement/goertzel.h"

#include <cmath>

namespace auralyn::measurement {
namespace {

// Two doubles side by side (GCC and Clang vector extension): the recurrences
// are independent chains, so two of them advance per instruction.
using Pair = double __attribute__((vector_size(16)));

// Enough independent chains to fill the pipeline: a few harmonics are each run
// over several segments of the block at once, and the segments joined at the end.
constexpr int segmentsFor(int harmonics) { return harmonics >= 6 ? 1 : harmonics >= 4 ? 2 : harmonics == 3 ? 3 : 8 / harmonics; }

// Chain c = segment * K + (k - 1). s_n = (y_n - s_{n-2}) + 2 cos(k w) s_{n-1}:
// the difference is formed off each chain's loop-carried path.
template <int K, int S>
struct Chains {
    static constexpr int kChains = K * S;
    static constexpr int kPairs = (kChains + 1) / 2;

    Pair s1[kPairs] = {};
    Pair s2[kPairs] = {};
    Pair c[kPairs] = {};

    explicit Chains(const double* coefficients) {
        for (int i = 0; i < kChains; ++i) c[i / 2][i % 2] = coefficients[i % K];
    }

    void step(const double* y) {
        for (int p = 0; p < kPairs; ++p) {
            const int first = 2 * p;
            const int second = first + 1 < kChains ? first + 1 : first;
            const Pair input = {y[first / K], y[second / K]};
            const Pair s0 = (input - s2[p]) + c[p] * s1[p];
            s2[p] = s1[p];
            s1[p] = s0;
        }
    }

    double last(int chain) const { return s1[chain / 2][chain % 2]; }
    double previous(int chain) const { return s2[chain / 2][chain % 2]; }
};

struct Segment {
    std::size_t start;
    std::size_t count;
};

// The correlations of harmonics 1..K over the whole block, times from the
// block's first sample: each segment's sum shifted to its own start.
template <int K, int S>
void runSegments(const std::int16_t* samples, std::size_t count, double w, const double* coefficients,
                 GoertzelSums& out) {
    const std::size_t length = count / S;
    Chains<K, S> chains(coefficients);
    std::int64_t sum = 0;
    std::int64_t squares = 0;
    for (std::size_t n = 0; n < length; ++n) {
        double y[S];
        for (int s = 0; s < S; ++s) {
            const std::int32_t value = samples[s * length + n];
            sum += value;
            squares += static_cast<std::int64_t>(value * value);
            y[s] = value;
        }
        chains.step(y);
    }
    // The last segment takes the samples that did not divide evenly, one chain per harmonic.
    const std::size_t lastStart = (S - 1) * length;
    double tailLast[K];
    double tailPrevious[K];
    for (int k = 0; k < K; ++k) {
        tailLast[k] = chains.last((S - 1) * K + k);
        tailPrevious[k] = chains.previous((S - 1) * K + k);
    }
    for (std::size_t n = S * length; n < count; ++n) {
        const std::int32_t value = samples[n];
        sum += value;
        squares += static_cast<std::int64_t>(value * value);
        for (int k = 0; k < K; ++k) {
            const double s0 = (value - tailPrevious[k]) + coefficients[k] * tailLast[k];
            tailPrevious[k] = tailLast[k];
            tailLast[k] = s0;
        }
    }
    for (int k = 0; k < K; ++k) {
        const double theta = (k + 1) * w;
        std::complex<double> total = 0.0;
        for (int s = 0; s < S; ++s) {
            const bool isLast = s == S - 1;
            const double a = isLast ? tailLast[k] : chains.last(s * K + k);
            const double b = isLast ? tailPrevious[k] : chains.previous(s * K + k);
            const std::size_t segmentCount = isLast ? count - lastStart : length;
            total += toneCorrelation(a, b, segmentCount, static_cast<double>(s * length), theta);
        }
        out.correlations[k] = total;
    }
    out.sum = sum;
    out.sumSquares = squares;
}

using SegmentRunner = void (*)(const std::int16_t*, std::size_t, double, const double*, GoertzelSums&);

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

GoertzelSums goertzelSums(const std::int16_t* samples, std::size_t count, double w, int harmonics) {
    GoertzelSums sums;
    sums.count = count;
    if (harmonics < 1 || harmonics > kMaxHarmonic) return sums;
    double coefficients[kMaxHarmonic];
    for (int k = 0; k < harmonics; ++k) coefficients[k] = 2.0 * std::cos((k + 1) * w);
    const SegmentRunner* runners = count >= kShortestSplitBlock ? kSplitRunners : kWholeRunners;
    runners[harmonics - 1](samples, count, w, coefficients, sums);
    return sums;
}

std::complex<double> toneCorrelation(double last, double previous, std::size_t count, double t0, double theta) {
    const std::complex<double> state = last - std::polar(previous, theta);
    return std::polar(1.0, theta * (t0 + static_cast<double>(count) - 1.0)) * state;
}

}  // namespace auralyn::measurement
