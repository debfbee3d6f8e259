// Blocks taken where their own tone arrives: the phase still referred to the
// block's common place whichever samples are fitted, and each tone's arrival
// read from its neighbours' phases as the device's group delay, checked
// against the group delay of a biquad worked out from its coefficients.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "analysis/tone_arrivals.h"
#include "analysis/tone_layout.h"
#include "clock_test_recordings.h"
#include "filtered_recordings.h"

namespace auralyn {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr double kTrigger = 5000.25;

const std::vector<analysis::NominalTone>& schedule() {
    static const std::vector<analysis::NominalTone> tones = analysis::nominalTones(test::defaultSweep(0));
    return tones;
}

// Tones as the common placement fitted them, each with the phase `phaseAt` gives
// (radians, at its block's start) and a clean fit.
template <class Phase>
std::vector<analysis::ClockCorrectedTone> fittedTones(Phase phaseAt, double amplitude = 1000.0) {
    std::vector<analysis::ClockCorrectedTone> tones;
    for (const analysis::NominalTone& n : schedule()) {
        analysis::ClockCorrectedTone t;
        t.index = n.index;
        t.nominalFrequency = t.fittedFrequency = n.frequency;
        t.amplitude = amplitude;
        t.phase = std::remainder(phaseAt(n.frequency), 2.0 * kPi);
        t.fit.valid = true;
        t.fit.harmonics = 1;
        t.fit.count = 2000;
        t.fit.residualSquares = 1.0;  // a phase sigma of 3e-5 radians
        t.blockStart = kTrigger + static_cast<double>(n.blockOffset);
        t.blockLength = n.length;
        tones.push_back(t);
    }
    return tones;
}

double omega(double hz) { return 2.0 * kPi * hz / kRate; }

// The group delay of B(z) / A(z) in samples, from the polynomials' own
// derivatives: for P = sum p_n z^-n, -d arg P / d omega = Re(sum n p_n z^-n / P).
double groupDelay(const test::Biquad& q, double hz) {
    const std::complex<double> z1 = std::polar(1.0, -omega(hz));
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> b = q.b0 + q.b1 * z1 + q.b2 * z2;
    const std::complex<double> a = 1.0 + q.a1 * z1 + q.a2 * z2;
    return std::real((q.b1 * z1 + 2.0 * q.b2 * z2) / b) - std::real((q.a1 * z1 + 2.0 * q.a2 * z2) / a);
}

double beyondTolerance(double arrival) {
    return arrival - std::clamp(arrival, -analysis::kToleratedSlip, analysis::kToleratedSlip);
}

TEST(ToneArrivals, AMovedBlockKeepsItsPhaseReferredToItsCommonPlace) {
    // A tone at a fractional place on a clock 150 ppm fast: its block moved
    // 130.6 samples earlier fits other samples, yet reads the same phase at
    // the same start as the block left in place.
    analysis::NominalTone tone = schedule()[150];
    const double ppm = 150.0;
    const double rate = kRate;
    const double start = kTrigger + static_cast<double>(tone.blockOffset) * (1.0 + ppm * 1e-6);
    const double f = tone.frequency / (1.0 + ppm * 1e-6);
    const double phase = 0.7;
    std::vector<analysis::Sample> recording(static_cast<std::size_t>(start) + 10000);
    for (std::size_t n = 0; n < recording.size(); ++n)
        recording[n] = static_cast<analysis::Sample>(
            std::round(20000.0 * std::sin(2.0 * kPi * f / rate * (static_cast<double>(n) - start) + phase)));
    const analysis::BlockPlacement common = analysis::placeBlock(tone, kTrigger, ppm);
    tone.blockLead = -130.6;
    const analysis::BlockPlacement moved = analysis::placeBlock(tone, kTrigger, ppm);
    EXPECT_EQ(moved.start, common.start);
    EXPECT_EQ(moved.length, common.length);
    EXPECT_NEAR(moved.lead, -130.6 * (1.0 + ppm * 1e-6), 1e-9);
    EXPECT_EQ(moved.first, static_cast<std::int64_t>(std::ceil(start + moved.lead)));
    EXPECT_EQ(moved.firstTime, static_cast<double>(moved.first) - moved.start);
    EXPECT_LT(moved.first, common.first - 129);
    const analysis::ClockCorrectedTone a = analysis::fitToneAt(tone, common, recording, rate);
    const analysis::ClockCorrectedTone b = analysis::fitToneAt(tone, moved, recording, rate);
    EXPECT_NEAR(a.phase, phase, 1e-4);
    EXPECT_NEAR(b.phase, phase, 1e-4);
    EXPECT_NEAR(b.amplitude, 20000.0, 0.05);
    EXPECT_EQ(b.blockLead, moved.lead);
}

TEST(ToneArrivals, APureDelayWithinTheToleranceMovesNothing) {
    for (const double delay : {-31.0, 0.0, 12.5, 31.0}) {
        const auto tones = fittedTones([&](double hz) { return -omega(hz) * delay; });
        EXPECT_TRUE(analysis::toneLeads(tones, schedule(), kTrigger, kRate).empty()) << delay;
    }
}

TEST(ToneArrivals, APureDelayBeyondItMovesEveryBlockByTheExcess) {
    // 100 samples turn a 20 kHz tone by more than six cycles between its
    // neighbours: unwrapped tone by tone from the low end.
    for (const double delay : {-100.0, 250.0}) {
        const auto tones = fittedTones([&](double hz) { return -omega(hz) * delay; });
        const std::vector<double> leads = analysis::toneLeads(tones, schedule(), kTrigger, kRate);
        ASSERT_EQ(leads.size(), schedule().size());
        for (std::size_t k = 0; k < leads.size(); ++k) EXPECT_NEAR(leads[k], beyondTolerance(delay), 1e-6) << k;
    }
}

TEST(ToneArrivals, AWoofersLowPassMovesEachBlockByItsOwnGroupDelay) {
    // Phases of a 40 Hz second-order low-pass, the common placement taking
    // the delay it has at 20 Hz (where the loud tones set it).
    const test::Biquad lowPass = test::butterworthLowPass(40.0, kRate);
    const double common = groupDelay(lowPass, 20.0);
    EXPECT_GT(common, 180.0);
    const auto tones = fittedTones([&](double hz) { return std::arg(lowPass.response(hz, kRate)) + omega(hz) * common; });
    const std::vector<double> leads = analysis::toneLeads(tones, schedule(), kTrigger, kRate);
    ASSERT_EQ(leads.size(), schedule().size());
    std::size_t moved = 0;
    for (std::size_t k = 1; k + 1 < leads.size(); ++k) {
        const double hz = schedule()[k].frequency;
        SCOPED_TRACE(hz);
        const double own = beyondTolerance(groupDelay(lowPass, hz) - common);
        // Where the delay falls fast, the block waits for the previous tone's end to arrive.
        const double previous = beyondTolerance(groupDelay(lowPass, schedule()[k - 1].frequency) - common);
        EXPECT_GE(leads[k], std::min(own, previous) - 0.5);
        EXPECT_LE(leads[k], std::max(own, previous) + 0.5);
        if (hz > 500.0) {
            EXPECT_NEAR(leads[k], own, 0.5);
        }
        moved += leads[k] < -90.0 ? 1 : 0;
    }
    EXPECT_GT(moved, 100u);
}

TEST(ToneArrivals, AStepOfTheTimingBetweenTwoTonesMovesNothing) {
    // A stall or a loss between the blocks of two tones turns every later
    // phase by 2 pi f n / R: it looks like a delay, but one that changes at
    // once, which no device does. The jump search deals with it.
    for (const std::size_t at : {std::size_t{20}, std::size_t{150}}) {
        for (const double samples : {-100.0, 60.0, 500.0, 2400.0}) {
            const auto tones = fittedTones([&](double hz) {
                const bool after = hz >= schedule()[at].frequency;
                return after ? -omega(hz) * samples : 0.0;
            });
            EXPECT_TRUE(analysis::toneLeads(tones, schedule(), kTrigger, kRate).empty()) << at << " " << samples;
        }
    }
}

TEST(ToneArrivals, TonesInTheNoiseKeepTheirPlaceAndTheRestAreStillFound) {
    const double delay = -120.0;
    // A band of tones in the noise (a phase sigma far above the limit), and
    // one whose phases tell the arrival only to some ten samples: the tones
    // after it are unwrapped about the last arrival found before it.
    for (const double residual : {1e12, 1e9}) {
        SCOPED_TRACE(residual);
        auto tones = fittedTones([&](double hz) { return -omega(hz) * delay; });
        for (std::size_t k = 100; k < 110; ++k) tones[k].fit.residualSquares = residual;
        const std::vector<double> leads = analysis::toneLeads(tones, schedule(), kTrigger, kRate);
        ASSERT_EQ(leads.size(), schedule().size());
        for (std::size_t k = 100; k < 110; ++k) EXPECT_EQ(leads[k], 0.0) << k;
        for (std::size_t k = 111; k < leads.size(); ++k) EXPECT_NEAR(leads[k], beyondTolerance(delay), 1e-6) << k;
    }
    // Nothing to go by: nothing moves.
    auto silent = fittedTones([&](double hz) { return -omega(hz) * delay; });
    for (analysis::ClockCorrectedTone& t : silent) t.fit.valid = false;
    EXPECT_TRUE(analysis::toneLeads(silent, schedule(), kTrigger, kRate).empty());
}

}  // namespace
}  // namespace auralyn
