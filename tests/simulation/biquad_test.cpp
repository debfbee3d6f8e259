#include "simulation/biquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace auralyn::simulation {
namespace {

constexpr double kRate = 48000.0;

double magnitudeDb(std::complex<double> h) { return 20.0 * std::log10(std::abs(h)); }
double phaseDeg(std::complex<double> h) { return std::arg(h) * 180.0 / std::numbers::pi; }

std::complex<double> responseOf(FilterKind kind, double f0, double q, double gainDb, double at) {
    return biquadResponse(designBiquad({kind, f0, q, gainDb}, kRate), at, kRate);
}

// At its own frequency every cookbook section has the value of its analog
// prototype at s = j, since the bilinear transform is prewarped there.
TEST(CookbookAtCentreFrequency, MatchesTheAnalogPrototype) {
    const double q = 2.0;
    EXPECT_NEAR(std::abs(responseOf(FilterKind::LowPass, 1000, q, 0, 1000)), q, 1e-12);
    EXPECT_NEAR(phaseDeg(responseOf(FilterKind::LowPass, 1000, q, 0, 1000)), -90.0, 1e-9);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::HighPass, 1000, q, 0, 1000)), q, 1e-12);
    EXPECT_NEAR(phaseDeg(responseOf(FilterKind::HighPass, 1000, q, 0, 1000)), 90.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::BandPass, 1000, q, 0, 1000)), 0.0, 1e-9);
    EXPECT_NEAR(phaseDeg(responseOf(FilterKind::BandPass, 1000, q, 0, 1000)), 0.0, 1e-9);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::Notch, 1000, q, 0, 1000)), 0.0, 1e-12);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::Peak, 1000, q, 6.0, 1000)), 6.0, 1e-9);
    EXPECT_NEAR(phaseDeg(responseOf(FilterKind::Peak, 1000, q, 6.0, 1000)), 0.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::LowShelf, 1000, q, 6.0, 1000)), 3.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::HighShelf, 1000, q, -8.0, 1000)), -4.0, 1e-9);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::AllPass, 1000, q, 0, 1000)), 1.0, 1e-12);
    EXPECT_NEAR(std::fabs(phaseDeg(responseOf(FilterKind::AllPass, 1000, q, 0, 1000))), 180.0, 1e-9);
}

// z = 1 is the analog s = 0 and z = -1 is s = infinity.
TEST(CookbookAtTheBandEdges, DcAndHalfTheRate) {
    const double nyquist = kRate / 2.0;
    EXPECT_NEAR(std::abs(responseOf(FilterKind::LowPass, 2000, 0.7, 0, 0.0)), 1.0, 1e-12);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::LowPass, 2000, 0.7, 0, nyquist)), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::HighPass, 2000, 0.7, 0, 0.0)), 0.0, 1e-12);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::HighPass, 2000, 0.7, 0, nyquist)), 1.0, 1e-12);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::BandPass, 2000, 0.7, 0, 0.0)), 0.0, 1e-12);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::LowShelf, 2000, 0.7, 6.0, 0.0)), 6.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::LowShelf, 2000, 0.7, 6.0, nyquist)), 0.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::HighShelf, 2000, 0.7, 6.0, 0.0)), 0.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::HighShelf, 2000, 0.7, 6.0, nyquist)), 6.0, 1e-9);
    EXPECT_NEAR(magnitudeDb(responseOf(FilterKind::Peak, 2000, 0.7, -9.0, 0.0)), 0.0, 1e-9);
    EXPECT_NEAR(std::abs(responseOf(FilterKind::AllPass, 2000, 0.7, 0, 123.0)), 1.0, 1e-12);
}

// The amplitude and phase of a steady sine after the filter, by correlation
// over whole cycles.
std::complex<double> measureSteadyState(const FilterSettings& filter, double frequency) {
    Biquad biquad(designBiquad(filter, kRate));
    const double w = 2.0 * std::numbers::pi * frequency / kRate;
    const int settle = 48000;
    const int block = 4800;  // whole cycles of 1000 Hz and 250 Hz
    double s = 0.0;
    double c = 0.0;
    for (int i = 0; i < settle + block; ++i) {
        const double y = biquad.process(std::sin(w * i));
        if (i < settle) continue;
        s += y * std::sin(w * i);
        c += y * std::cos(w * i);
    }
    return std::complex<double>(s, c) * (2.0 / block);
}

TEST(BiquadProcessing, SteadyStateFollowsTheComputedResponse) {
    for (const FilterSettings& filter : {FilterSettings{FilterKind::LowPass, 800.0, 0.7, 0.0},
                                   FilterSettings{FilterKind::HighPass, 300.0, 3.0, 0.0},
                                   FilterSettings{FilterKind::Peak, 1000.0, 1.4, -7.0},
                                   FilterSettings{FilterKind::LowShelf, 500.0, 0.8, 5.0},
                                   FilterSettings{FilterKind::AllPass, 900.0, 0.5, 0.0}}) {
        for (double frequency : {250.0, 1000.0}) {
            const std::complex<double> expected = biquadResponse(designBiquad(filter, kRate), frequency, kRate);
            const std::complex<double> measured = measureSteadyState(filter, frequency);
            EXPECT_NEAR(std::abs(measured), std::abs(expected), 1e-9) << frequency;
            EXPECT_NEAR(std::arg(measured), std::arg(expected), 1e-9) << frequency;
        }
    }
}

}  // namespace
}  // namespace auralyn::simulation
