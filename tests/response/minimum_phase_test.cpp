// The minimum phase implied by a magnitude, against the exact phase of
// minimum-phase systems: analogue sections computed here and by numpy,
// digital biquads computed by numpy.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "known_responses.h"
#include "reference_files.h"
#include "response/minimum_phase.h"

namespace auralyn::response {
namespace {

using test::referenceColumn;

// Compares within `degrees` between `low` and `high` (the band away from the
// ends); the phase is defined only up to whole turns.
void expectPhaseWithin(const Response& r, const std::vector<double>& exactDeg, double low, double high, double degrees) {
    const MinimumPhase minimum = minimumPhase(r);
    const double offset = exactDeg[r.tones.size() / 2] - toDegrees(minimum.phase[r.tones.size() / 2]);
    const double turns = 360.0 * std::round(offset / 360.0);
    std::size_t compared = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < r.tones.size(); ++i) {
        const double f = r.tones[i].frequency;
        if (f < low || f > high) continue;
        ++compared;
        worst = std::max(worst, std::abs(toDegrees(minimum.phase[i]) + turns - exactDeg[i]));
        ASSERT_NEAR(toDegrees(minimum.phase[i]) + turns, exactDeg[i], degrees) << "at " << f << " Hz";
    }
    EXPECT_GT(compared, 100u);
    std::printf("figure: minimum phase from the magnitude: worst %.3f degrees from %g to %g Hz\n", worst, low, high);
}

void expectPhaseWithin1Degree(const Response& r, const std::vector<double>& exactDeg, double low, double high) {
    expectPhaseWithin(r, exactDeg, low, high, 1.0);
}

std::vector<double> phasesDeg(const Response& r) {
    std::vector<double> out;
    for (const Tone& tone : r.tones) out.push_back(tone.phaseDeg());
    return out;
}

TEST(MinimumPhase, OfAnalogueSectionsFromTheirMagnitudeWithin1Degree) {
    const std::vector<std::function<std::complex<double>(double)>> systems{
        [](double f) { return test::analogHighpass(f, 100.0, 0.707); },
        [](double f) { return test::analogLowpass(f, 2000.0, 2.0); },
        [](double f) { return 1.0 / (1.0 + std::complex<double>(0.0, f / 700.0)); },
    };
    for (const auto& system : systems) {
        const Response r = test::sampled(test::logTones(48), system);
        expectPhaseWithin1Degree(r, phasesDeg(r), 40.0, 10000.0);
    }
}

TEST(MinimumPhase, OfABandPassWhoseCornersLieNearTheEndsWithin1DegreeTwoOctavesIn) {
    // At 20 Hz and 20 kHz neither slope has reached its asymptote yet: the
    // extensions start a dB or so off it, which costs phase near the ends.
    const Response r = test::sampled(test::logTones(48), [](double f) {
        return test::analogHighpass(f, 45.0, 1.2) * test::analogLowpass(f, 9000.0, 0.6);
    });
    const MinimumPhase minimum = minimumPhase(r);
    EXPECT_NEAR(minimum.lowDbPerOctave, 12.04, 0.01);  // the end slopes rounded to their asymptotes
    EXPECT_NEAR(minimum.highDbPerOctave, -12.04, 0.01);
    expectPhaseWithin1Degree(r, phasesDeg(r), 80.0, 5000.0);
}

TEST(MinimumPhase, OfAnalogueSectionsComputedByNumpyWithin1Degree) {
    for (const char* name : {"analog_lowpass_2k.json", "analog_highpass_80.json", "analog_peak_1k.json",
                             "analog_dip_3k.json", "analog_speaker.json"}) {
        SCOPED_TRACE(name);
        LOAD_REFERENCE(filter, name);
        expectPhaseWithin1Degree(filter, referenceColumn(filter, "ref_phase_deg"), 40.0, 10000.0);
    }
}

TEST(MinimumPhase, OfDigitalBiquadsFromTheirMagnitudeWithin1Degree) {
    for (const char* name : {"lowpass_2k.json", "highpass_80.json", "peak_1k.json", "dip_3k.json", "speaker.json"}) {
        SCOPED_TRACE(name);
        LOAD_REFERENCE(filter, name);
        EXPECT_TRUE(minimumPhase(filter).warped);
        expectPhaseWithin1Degree(filter, referenceColumn(filter, "ref_phase_deg"), 40.0, 10000.0);
    }
}

TEST(MinimumPhase, ExtendsByTheEndSlopesUnlessTold) {
    const Response r =
        test::sampled(test::logTones(24), [](double f) { return test::analogHighpass(f, 200.0, 0.707); });
    const MinimumPhase followed = minimumPhase(r);
    EXPECT_NEAR(followed.lowDbPerOctave, 12.04, 0.01);  // a second-order high-pass: 2 × 6.02 dB per octave
    EXPECT_EQ(followed.highDbPerOctave, 0.0);
    const MinimumPhase told = minimumPhase(r, {6.0, -3.0});
    EXPECT_DOUBLE_EQ(told.lowDbPerOctave, 6.0);
    EXPECT_NEAR(told.highDbPerOctave, -3.0, 1e-12);
    // A flatter extension below claims less phase lead.
    EXPECT_LT(told.phase[10], followed.phase[10]);
}

TEST(MinimumPhase, ExcessPhaseOfADelayedMinimumPhaseSystemIsTheDelay) {
    const double delay = 1e-3;
    const Response r = test::sampled(test::logTones(48), [delay](double f) {
        return test::analogLowpass(f, 3000.0, 0.8) * std::polar(1.0, -2.0 * kPi * f * delay);
    });
    const std::vector<double> excess = excessPhase(r, minimumPhase(r));
    for (std::size_t i = 0; i < r.tones.size(); ++i) {
        if (r.tones[i].frequency > 10000.0) break;
        const double expected = -2.0 * kPi * r.tones[i].frequency * delay;
        EXPECT_NEAR(std::remainder(excess[i] - expected, 2.0 * kPi), 0.0, toRadians(1.0));
    }
}

}  // namespace
}  // namespace auralyn::response
