// The origin's grid sums against the envelope summed directly at every lag,
// for tone counts that fill the kernel's groups and leave a remainder.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "analysis/origin_grid.h"

namespace auralyn {
namespace {

constexpr double kTwoPi = 6.283185307179586;

struct Tone {
    double weight, phase, cyclesPerLag;
};

// A tone's terms at the first lags and its turn, each phasor from its own angle.
analysis::GridTone gridToneOf(const Tone& t) {
    analysis::GridTone g;
    for (std::size_t lane = 0; lane < analysis::kGridLanes; ++lane) {
        const std::complex<double> term =
            std::polar(t.weight, t.phase + kTwoPi * t.cyclesPerLag * static_cast<double>(lane));
        g.re[lane] = term.real();
        g.im[lane] = term.imag();
    }
    const std::complex<double> turn =
        std::polar(1.0, kTwoPi * t.cyclesPerLag * static_cast<double>(analysis::kGridLanes));
    g.turnRe = turn.real();
    g.turnIm = turn.imag();
    return g;
}

std::vector<Tone> someTones(std::size_t count) {
    std::vector<Tone> tones;
    for (std::size_t k = 0; k < count; ++k)
        tones.push_back({1.0 + 0.5 * static_cast<double>(k % 3), 0.7 * static_cast<double>(k),
                         0.013 + 0.031 * static_cast<double>(k)});
    return tones;
}

TEST(OriginGrid, SumsTheTonesAtEveryLagAsADirectSumDoes) {
    constexpr std::size_t kChunks = 500;
    for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{12}}) {
        const std::vector<Tone> tones = someTones(count);
        std::vector<analysis::GridTone> grid;
        for (const Tone& t : tones) grid.push_back(gridToneOf(t));
        std::vector<double> re(kChunks * analysis::kGridLanes, 0.0), im(re.size(), 0.0);
        analysis::sumGridTones(grid.data(), grid.size(), kChunks, re.data(), im.data());
        double worst = 0.0;
        for (std::size_t lag = 0; lag < re.size(); ++lag) {
            std::complex<double> direct = 0.0;
            for (const Tone& t : tones)
                direct += std::polar(t.weight, t.phase + kTwoPi * t.cyclesPerLag * static_cast<double>(lag));
            worst = std::max(worst, std::abs(direct - std::complex<double>(re[lag], im[lag])));
        }
        // 500 turns in a row lose a few hundred roundings at most.
        EXPECT_LT(worst, 1e-11 * static_cast<double>(count)) << count << " tones";
    }
}

TEST(OriginGrid, NoTonesLeaveTheSumsAsTheyWere) {
    std::vector<double> re(8, 2.0), im(8, -1.0);
    analysis::sumGridTones(nullptr, 0, 2, re.data(), im.data());
    for (std::size_t i = 0; i < re.size(); ++i) {
        EXPECT_EQ(re[i], 2.0);
        EXPECT_EQ(im[i], -1.0);
    }
}

}  // namespace
}  // namespace auralyn
