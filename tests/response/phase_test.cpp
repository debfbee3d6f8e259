// Phase wrapping, group delay on uneven tone lists, and finding a delay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "known_responses.h"
#include "reference_files.h"
#include "response/delay.h"
#include "response/phase.h"

namespace auralyn::response {
namespace {

using test::referenceColumn;

TEST(Phase, WrapsIntoTheHalfOpenCircleAndUnwrapsBySmallestSteps) {
    EXPECT_EQ(wrapDegrees(180.0), 180.0);
    EXPECT_EQ(wrapDegrees(-180.0), 180.0);
    EXPECT_NEAR(wrapDegrees(190.0), -170.0, 1e-12);
    EXPECT_NEAR(wrapDegrees(-725.0), -5.0, 1e-12);
    const std::vector<double> unwrapped = unwrapRadians({3.0, -3.0, 3.1, 0.0});
    EXPECT_NEAR(unwrapped[1], 2.0 * kPi - 3.0, 1e-12);
    EXPECT_NEAR(unwrapped[2], 3.1, 1e-12);  // 2π − 3 → 3.1 is a step of −0.18: no turn
    EXPECT_NEAR(unwrapped[3], 0.0, 1e-12);  // a step of −3.1 is smaller than π
}

TEST(GroupDelay, OfAnAnalogueAllPassOnLogTonesWithin1Percent) {
    const Response r = test::sampled(test::logTones(48), [](double f) { return test::analogAllpass(f, 500.0, 1.5); });
    const std::vector<double> delay = groupDelay(r);
    std::size_t compared = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < r.tones.size(); ++i) {
        const double exact = test::analogAllpassDelay(r.tones[i].frequency, 500.0, 1.5);
        if (exact < 1e-4) continue;
        ++compared;
        worst = std::max(worst, std::abs(delay[i] / exact - 1.0));
        EXPECT_NEAR(delay[i], exact, 0.01 * exact) << "at " << r.tones[i].frequency << " Hz";
    }
    EXPECT_GT(compared, 100u);
    std::printf("figure: group delay of an analogue all-pass: worst %.3f %% where above 0.1 ms\n", 100.0 * worst);
}

TEST(GroupDelay, OfDigitalAllPassesOnAnUnevenToneListWithAGapWithin1Percent) {
    LOAD_REFERENCE(allpass, "allpass.json");
    const std::vector<double> exact = referenceColumn(allpass, "ref_group_delay_ms");
    const std::vector<double> delay = groupDelay(allpass);
    std::size_t compared = 0;
    double worst = 0.0;
    for (std::size_t i = 0; i < allpass.tones.size(); ++i) {
        if (exact[i] < 0.1) continue;
        ++compared;
        worst = std::max(worst, std::abs(delay[i] * 1000.0 / exact[i] - 1.0));
        EXPECT_NEAR(delay[i] * 1000.0, exact[i], 0.01 * exact[i]) << "at " << allpass.tones[i].frequency << " Hz";
    }
    EXPECT_GT(compared, 100u);
    std::printf("figure: group delay of numpy's digital all-passes: worst %.3f %% where above 0.1 ms\n", 100.0 * worst);
}

TEST(GroupDelay, OfAPureDelayIsExactOnAnyToneList) {
    const std::vector<double> f{20.0, 21.0, 35.0, 100.0, 1000.0, 1001.0, 5000.0};
    std::vector<double> phase;
    for (double x : f) phase.push_back(-2.0 * kPi * x * 0.0123);
    for (double d : groupDelay(f, phase)) EXPECT_NEAR(d, 0.0123, 1e-12);
}

Response delayed(Response r, double seconds) {
    for (Tone& tone : r.tones) tone.phase -= 2.0 * kPi * tone.frequency * seconds;
    return r;
}

TEST(Delay, OfAFlatResponseIsFoundWithinATenthOfASample) {
    const double rate = 48000.0, delay = 123.45 / rate;
    Response r = delayed(test::sampled(test::logTones(24), [](double) { return 1.0; }), delay);
    r.sampleRate = rate;
    const DelayEstimate found = findDelay(r);
    EXPECT_NEAR(found.seconds * rate, 123.45, 0.1);
    std::printf("figure: delay of a flat response: %+.4f samples off\n", found.seconds * rate - 123.45);
    const Response removed = removeDelay(r, found.seconds);
    EXPECT_NEAR(removed.delayRemoved, delay, 0.1 / rate);
    for (const Tone& tone : removed.tones) EXPECT_NEAR(tone.phase, 0.0, 0.02);
}

TEST(Delay, LongerThanSparseTonesCanFollowIsStillFound) {
    // 12 tones per octave: near 20 kHz tones lie 1.2 kHz apart, and 10 ms
    // turns the phase by 12 cycles between neighbours.
    const Response r = delayed(test::sampled(test::logTones(12), [](double) { return 1.0; }), 0.010);
    EXPECT_NEAR(findDelay(r).seconds, 0.010, 1e-7);
}

TEST(Delay, BehindABandPassIsFoundWithinOneSample) {
    const auto speaker = [](double f) { return test::analogHighpass(f, 60.0, 0.8) * test::analogLowpass(f, 6000.0, 0.7); };
    const Response r = delayed(test::sampled(test::logTones(48), speaker), 2.5e-3);
    const DelayEstimate found = findDelay(r);
    EXPECT_NEAR(found.seconds, 2.5e-3, 1.0 / 48000.0);
    EXPECT_GT(found.bandLow, 30.0);
    EXPECT_LT(found.bandHigh, 20000.0);
}

TEST(Delay, OfDigitalAndAnalogueSpeakerModelsComputedByNumpyIsFoundWithinOneSample) {
    for (const char* name : {"speaker_delayed.json", "analog_speaker_delayed.json"}) {
        LOAD_REFERENCE(speaker, name);
        EXPECT_NEAR(findDelay(speaker).seconds * 48000.0, 57.3, 1.0) << name;
        std::printf("figure: delay behind %s: %+.3f samples off\n", name, findDelay(speaker).seconds * 48000.0 - 57.3);
    }
}

TEST(Delay, RemovingAGivenDelayTurnsThePhaseAndAddsUp) {
    Response r = test::sampled({100.0, 1000.0}, [](double) { return 1.0; });
    r = removeDelay(removeDelay(r, 1e-3), 0.5e-3);
    EXPECT_DOUBLE_EQ(r.delayRemoved, 1.5e-3);
    EXPECT_NEAR(r.tones[1].phase, 2.0 * kPi * 1.5, 1e-12);
}

}  // namespace
}  // namespace auralyn::response
