// The small Cholesky solver: against a worked system, and its shortened
// forward pass against the full one, bit for bit, on the fits' own matrices.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>

#include "analysis/sinusoid_gram.h"
#include "analysis/small_cholesky.h"

namespace {

using namespace auralyn::analysis;

TEST(SmallCholesky, SolvesAWorkedSystem) {
    // G = [[4, 2, 0], [2, 5, 3], [0, 3, 10]], x = (1, -2, 3): b = G x = (0, 1, 24).
    SquareMatrix g{};
    g[0] = {4, 2, 0};
    g[1] = {2, 5, 3};
    g[2] = {0, 3, 10};
    ASSERT_TRUE(choleskyFactor(g, 3));
    EXPECT_DOUBLE_EQ(g[0][0], 2.0);
    EXPECT_DOUBLE_EQ(g[1][0], 1.0);
    EXPECT_DOUBLE_EQ(g[1][1], 2.0);
    EXPECT_DOUBLE_EQ(g[2][1], 1.5);
    Vector b{};
    b[0] = 0.0;
    b[1] = 1.0;
    b[2] = 24.0;
    choleskySolve(g, 3, b);
    EXPECT_NEAR(b[0], 1.0, 1e-14);
    EXPECT_NEAR(b[1], -2.0, 1e-14);
    EXPECT_NEAR(b[2], 3.0, 1e-14);

    SquareMatrix singular{};
    singular[0] = {1, 1};
    singular[1] = {1, 1};
    EXPECT_FALSE(choleskyFactor(singular, 2));
}

// Every bit of two doubles, so that +0 and -0 differ.
void expectSameBits(const Vector& a, const Vector& b, int n) {
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(a[i]), std::bit_cast<std::uint64_t>(b[i])) << i;
}

TEST(SmallCholesky, ForwardPassFromTheFirstNonZeroIsTheFullSolveBitForBit) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> frequency(0.0005, 0.049);
    std::uniform_real_distribution<double> offset(0.0, 1.0);
    std::uniform_real_distribution<double> entry(-2.0, 2.0);
    for (int trial = 0; trial < 200; ++trial) {
        // The joint fit's Gram matrix, DC and ten harmonics, as the fits factor it.
        const int harmonics = 1 + trial % 10;
        const int n = 1 + 2 * harmonics;
        SquareMatrix factor{};
        sinusoidGram(400 + 37 * trial, offset(random), 6.283185307179586 * frequency(random), harmonics, factor);
        ASSERT_TRUE(choleskyFactor(factor, n));
        for (int first = 0; first < n; ++first) {
            Vector unit{};
            unit[first] = 1.0;
            Vector full = unit;
            choleskySolve(factor, n, full);
            choleskySolveFrom(factor, n, first, unit);
            expectSameBits(unit, full, n);
            // Any values after the zeros, negative ones too.
            Vector tail{};
            for (int i = first; i < n; ++i) tail[i] = entry(random);
            Vector tailFull = tail;
            choleskySolve(factor, n, tailFull);
            choleskySolveFrom(factor, n, first, tail);
            expectSameBits(tail, tailFull, n);
            // The tail alone: the entries from `first` on, the ones before left at zero.
            Vector tailOnly{};
            tailOnly[first] = 1.0;
            choleskySolveTail(factor, n, first, tailOnly);
            Vector expected = full;
            for (int i = 0; i < first; ++i) expected[i] = 0.0;
            expectSameBits(tailOnly, expected, n);
        }
    }
}

}  // namespace
