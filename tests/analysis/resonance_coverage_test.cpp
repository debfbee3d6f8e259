// A resonance rings into the tones after it. At a very high SNR the tone just
// past the ones flagged unsettled is steady by the halves' test yet carries
// what is left of the ringing; its interval must still hold the truth. The
// device here is the test's own peaking biquad (the audio-EQ cookbook's), not
// the kit's simulator: its exact digital response is the truth.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <random>
#include <vector>

#include "clock_test_recordings.h"
#include "drifted_sweep.h"
#include "fault_recordings.h"

namespace auralyn {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Biquad {
    double b0, b1, b2, a1, a2;  // a0 = 1

    std::complex<double> response(double frequency, double rate) const {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / rate);
        return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
    }

    std::vector<double> filtered(const std::vector<double>& x) const {
        std::vector<double> y(x.size());
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (std::size_t n = 0; n < x.size(); ++n) {
            y[n] = b0 * x[n] + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = x[n], y2 = y1, y1 = y[n];
        }
        return y;
    }
};

// A peak of `gainDb` at `centre` with quality `q`: a loudspeaker's resonance
// as the drive sees it, ringing for q / (pi f) seconds.
Biquad peaking(double centre, double q, double gainDb, double rate) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = 2.0 * kPi * centre / rate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    return {(1.0 + alpha * a) / a0, -2.0 * std::cos(w) / a0, (1.0 - alpha * a) / a0, -2.0 * std::cos(w) / a0,
            (1.0 - alpha / a) / a0};
}

TEST(ResonanceCoverage, SteadyTonesAfterARingingResonanceHoldTheTruth) {
    const sweep::SweepPlan plan = test::defaultSweep(0, 6.0);
    const double rate = plan.params().sampleRate;
    const Biquad device = peaking(55.0, 3.0, 8.0, rate);
    const double gain = 0.25;
    std::mt19937 random(71);
    std::normal_distribution<double> gauss(0.0, 0.73);  // -90 dBFS: under a step
    const auto count = static_cast<std::size_t>(test::playedSweepLength(plan)) + 4800;
    const std::vector<double> played = device.filtered(test::synthesiseMappedSweep(plan, [](double k) { return k; }, count, gain));
    std::size_t measured = 0, held = 0, unsettled = 0;
    std::size_t firstSteady = 0, firstHeld = 0;  // the tones right after an unsettled one, where the ringing is left
    for (int trial = 0; trial < 8; ++trial) {
        std::vector<double> signal = played;
        for (double& x : signal) x += gauss(random);
        const analysis::RecordingAnalysis a = test::analyzed(plan, test::rounded(signal));
        bool afterUnsettled = false;
        for (const analysis::ToneMeasurement& t : a.sweep.tones) {
            const bool ringing = t.steadiness && t.steadiness->flag == analysis::ToneFlag::Unsettled;
            const bool first = afterUnsettled;
            afterUnsettled = ringing;
            if (ringing) ++unsettled;
            if (!t.quality || !t.quality->levelDbfs || t.steadiness->flag != analysis::ToneFlag::None) continue;
            const double truthDb = 20.0 * std::log10(gain * std::abs(device.response(t.frequency, rate)));
            ++measured;
            const bool holds = std::fabs(*t.quality->levelDbfs - truthDb) <= t.quality->magnitudeU95Db;
            held += holds ? 1 : 0;
            firstSteady += first ? 1 : 0;
            firstHeld += first && holds ? 1 : 0;
        }
    }
    const double n = static_cast<double>(measured);
    std::printf("resonance at 55 Hz, Q 3: %zu steady tones, magnitude %.1f %%, %zu unsettled; "
                "first steady after them held %zu of %zu\n",
                measured, 100.0 * static_cast<double>(held) / n, unsettled, firstHeld, firstSteady);
    ASSERT_GT(firstSteady, 0u);  // the resonance does ring into tones
    EXPECT_GE(static_cast<double>(firstHeld), 0.75 * static_cast<double>(firstSteady));
    EXPECT_GE(static_cast<double>(held), 0.90 * n);
    EXPECT_LE(static_cast<double>(held), 0.995 * n);
}

}  // namespace
}  // namespace auralyn
