// Devices too quiet or too band-limited for the sweep's pulse to be found:
// the tones alone give the time base, and at a microphone's levels their
// phases give the clock (sweep_targets.h).
#include <gtest/gtest.h>

#include <cstdint>

#include "sweep_targets.h"

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
namespace auralyn::test::targets {
namespace {

// Devices whose pulse does not reach the sync threshold or comes smeared:
// the tones alone give the time base.
TEST(SweepTargets, QuietAndBandLimitedDevicesOnTwoClocks) {
    printHeader();
    const struct {
        Device device;
        double ppm, delay;
        double worstDb;  // what the levels must hold to: the limit, or where a steep filter's ringing sets it
    } cases[] = {
        {{"gain -40 dB", {}, 0.01}, 200.0, 1234.375, 0.02},
        {{"gain -20 dB", {}, 0.1}, -200.0, 17.75, 0.02},
        {{"low-pass 200 Hz", {lowPass(200)}}, -200.0, 777.5, 1.0},
        // Its delay falls by hundreds of samples along the sweep: the start
        // moves by samples with the set of tones that place it.
        {{"low-pass 40 Hz", {lowPass(40)}}, 0.0, 1234.375, 1.0},
    };
    std::uint64_t seed = 11;
    for (const auto& c : cases) {
        const Figures f = measure(c.device, c.ppm, c.delay, seed++);
        printRow(c.device.name, c.ppm, f);
        expectHonest(f, c.device.name);
        EXPECT_LE(f.worstDb, c.worstDb) << c.device.name;
        EXPECT_EQ(f.sync, "sweep") << c.device.name;
    }
}

// At a microphone's levels the tones' frequencies give the clock to a ppm or
// so, enough to turn the high tones by degrees; their phases along the sweep,
// on a device of flat phase, give it to a hundredth of that. Every tone then
// within max(0.5 degrees, five of its noise's sigmas) of the truth.
TEST(SweepTargets, MicrophoneLevelsAreTimedByTheTonesPhases) {
    const struct {
        Device device;
        double ppm;
        double clockU95;  // ppm: what the frequencies alone gave, 1.2 and 3.8
    } cases[] = {
        {{"gain -60 dB", {}, 0.001}, 200.0, 0.05},
        {{"-20 dB, noise -40 dBFS", {}, 0.1, 328.0}, -200.0, 0.1},
    };
    std::uint64_t seed = 41;
    for (const auto& c : cases) {
        const Figures f = measure(c.device, c.ppm, 777.625, seed++);
        printRow(c.device.name, c.ppm, f);
        expectHonest(f, c.device.name);
        EXPECT_LE(f.worstOverLimit, 1.0) << c.device.name;
        EXPECT_LE(f.clockU95, c.clockU95) << c.device.name;
    }
}

}  // namespace
}  // namespace auralyn::test::targets
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
