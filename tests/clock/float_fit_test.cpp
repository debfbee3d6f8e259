// The sine fit of samples held as floats in 16-bit units against the fit of
// the same samples as 16-bit codes, whose sums are exact integers: for whole
// codes the float path's sums are exact too, so the two fits agree to the
// bit, for every count around the interleaved chains' step.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "clock/sine_fit.h"

namespace auralyn::clock {
namespace {

TEST(FloatSineFit, WholeCodesFitAsTheirIntegerCodes) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> code(-32768, 32767);
    for (const std::int32_t count : {3, 8, 15, 16, 17, 1000, 4099, 65541}) {
        std::vector<std::int16_t> codes(static_cast<std::size_t>(count));
        for (std::int16_t& c : codes) c = static_cast<std::int16_t>(code(random));
        const std::vector<float> floats(codes.begin(), codes.end());
        for (const double omega : {0.001, 0.4, 2.9}) {
            const SineFit a = fitSine(codes.data(), count, 0.25, omega);
            const SineFit b = fitSine(floats.data(), count, 0.25, omega);
            ASSERT_EQ(a.solved, b.solved) << count << " " << omega;
            EXPECT_EQ(a.offset, b.offset) << count << " " << omega;
            EXPECT_EQ(a.residualSquares, b.residualSquares) << count << " " << omega;
            EXPECT_EQ(a.sineCoefficient, b.sineCoefficient) << count << " " << omega;
            EXPECT_EQ(a.cosineCoefficient, b.cosineCoefficient) << count << " " << omega;
        }
    }
}

}  // namespace
}  // namespace auralyn::clock
