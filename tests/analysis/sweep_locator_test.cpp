// The sweep locator on recordings made by the tests' own filters, resampler
// and noise: found at any level and through any band, on two clocks and at
// fractional offsets, with junk around it; never found in noise, music-like
// tones, another sweep or the sweep reversed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "clock_test_recordings.h"
#include "filtered_recordings.h"
#include "analysis/sweep_locator.h"
#include "analysis/sweep_template.h"
#include "sample_vectors.h"
#include "sweep_test_plans.h"

#ifdef AURALYN_HAVE_SWEEP_LOCATOR
namespace auralyn::test {
namespace {

using analysis::RecordingView;
using analysis::SweepLocation;

constexpr double kRate = 48000.0;

const sweep::SweepPlan& plan() {
    static const sweep::SweepPlan p = defaultSweep(0, 3.0);
    return p;
}

const analysis::SweepTemplate& sweepTemplate() {
    static const analysis::SweepTemplate t = analysis::sweepTemplate(plan());
    return t;
}

const std::vector<double>& played() {
    static const std::vector<double> p = playedSweep(plan());
    return p;
}

SweepLocation locate(const std::vector<std::int16_t>& codes, std::optional<double> hint = std::nullopt) {
    const std::vector<analysis::Sample> recording = asSamples(codes);
    return analysis::locateSweep(sweepTemplate(), RecordingView::of(std::span<const analysis::Sample>(recording)), hint);
}

TEST(SweepTemplate, RendersTheGeneratorsTonesAtTheirPlayedPositions) {
    const analysis::SweepTemplate& t = sweepTemplate();
    ASSERT_EQ(t.tones.size(), plan().toneCount());
    const std::int64_t origin = playedOrigin(plan());
    std::vector<double> rendered(static_cast<std::size_t>(t.length));
    analysis::renderTemplate(t, 0.0, 1.0, rendered);
    for (const analysis::TemplateTone& tone : t.tones)
        for (std::int64_t i = tone.first; i < tone.first + tone.count; ++i)
            ASSERT_NEAR(rendered[static_cast<std::size_t>(i)], played()[static_cast<std::size_t>(origin + i)], 0.5)
                << "tone at " << tone.frequency << " Hz, sample " << i;
    EXPECT_EQ(origin + t.length, static_cast<std::int64_t>(played().size()));
    // The block starts with the sine's rising zero crossing.
    const analysis::TemplateTone& tone = t.tones[5];
    EXPECT_NEAR(rendered[static_cast<std::size_t>(tone.blockOffset)], 0.0, 0.5);
}

struct Recording {
    std::string name;
    std::vector<Biquad> device;
    double gain = 1.0;
    double noiseRms = 0.0;
    double delay = 0.0;        // where the recorder starts, in its own samples before the played file's first
    double ppm = 0.0;
    double groupDelay = 0.0;  // samples the device's delay may move the start by
    bool dispersive = false;  // a delay that changes across the band tilts the line: no clock figure to check
};

std::vector<std::int16_t> record(const Recording& r, std::uint64_t seed) {
    const std::vector<double> device = filtered(played(), r.device);
    const double ratio = 1.0 + r.ppm * 1e-6;
    if (r.ppm == 0.0 && r.delay == std::floor(r.delay)) {  // a whole-sample shift needs no interpolation
        std::vector<double> shifted(static_cast<std::size_t>(r.delay), 0.0);
        shifted.insert(shifted.end(), device.begin(), device.end());
        shifted.resize(shifted.size() + 24000, 0.0);
        return toPcm16(shifted, r.gain, r.noiseRms, seed);
    }
    const auto length = static_cast<std::size_t>(static_cast<double>(played().size()) * ratio + r.delay + 24000);
    return toPcm16(recordedAt(device, r.delay, ratio, length), r.gain, r.noiseRms, seed);
}

double trueStart(const Recording& r) {
    return r.delay + static_cast<double>(playedOrigin(plan())) * (1.0 + r.ppm * 1e-6);
}

std::vector<Recording> deviceCases() {
    const std::vector<Biquad> bandPass{butterworthHighPass(300, kRate), butterworthLowPass(3000, kRate)};
    return {
        {"loopback", {}, 1.0, 0.0, 0.0, 0.0, 0.0, false},
        {"quarter sample later, -60 dB", {}, 1e-3, 0.0, 1000.25, 0.0, 0.0, false},
        {"recorder 200 ppm fast", {}, 0.5, 0.0, 777.5, 200.0, 0.0, false},
        {"recorder 200 ppm slow", {}, 0.5, 0.0, 12.75, -200.0, 0.0, false},
        {"-20 dB device in -20 dBFS noise", {}, 0.1, 3277.0, 300.0, 0.0, 0.0, false},
        {"low-pass 40 Hz", {butterworthLowPass(40, kRate)}, 1.0, 0.0, 100.0, 200.0, 400.0, true},
        {"low-pass 200 Hz", {butterworthLowPass(200, kRate)}, 1.0, 0.0, 100.0, -200.0, 100.0, true},
        {"high-pass 3 kHz", {butterworthHighPass(3000, kRate)}, 1.0, 0.0, 100.5, 0.0, 10.0, true},
        {"band-pass 300 Hz to 3 kHz", bandPass, 0.1, 0.0, 100.0, 200.0, 200.0, true},
    };
}

TEST(SweepLocator, FindsTheSweepAtAnyLevelThroughAnyBandOnEitherClock) {
    std::uint64_t seed = 1;
    for (const Recording& r : deviceCases()) {
        SCOPED_TRACE(r.name);
        const std::vector<std::int16_t> recording = record(r, seed++);
        for (const bool hinted : {false, true}) {
            SCOPED_TRACE(hinted ? "with a hint" : "searched blind");
            const std::optional<double> hint = hinted ? std::optional<double>(trueStart(r)) : std::nullopt;
            const SweepLocation found = locate(recording, hint);
            ASSERT_TRUE(found.found) << found.agreeing << " of " << found.stretches << " stretches, margin " << found.margin;
            // The stretches place the start coarsely (their envelopes' peaks);
            // the tones' phases refine it.
            const double error = found.start - trueStart(r);
            const double tolerance = 4.0 * found.startSigma;
            EXPECT_GT(error, -tolerance) << "start " << found.start;
            EXPECT_LT(error, tolerance + r.groupDelay) << "start " << found.start;
            EXPECT_LT(found.startSigma, 200.0);
            if (!r.dispersive) {
                EXPECT_NEAR(found.ppm, r.ppm, 4.0 * found.ppmSigma);
            }
            EXPECT_GE(found.margin, analysis::kDetectionMargin);
            EXPECT_EQ(found.fromHint, hinted);
        }
    }
}

TEST(SweepLocator, FindsTheSweepBetweenJunkAndPastAWrongHint) {
    const double ratio = 1.0 + 150e-6;
    const std::vector<double> before = joined(whiteNoise(48000, 2000.0, 7), randomTones(96000, 12, kRate, 8));
    const std::vector<double> sweep = recordedAt(filtered(played(), {butterworthHighPass(100, kRate)}), 0.375, ratio,
                                                 static_cast<std::size_t>(static_cast<double>(played().size()) * ratio));
    std::vector<double> all = joined(joined(before, sweep), randomTones(72000, 12, kRate, 9));
    const std::vector<std::int16_t> recording = toPcm16(all, 0.05, 30.0, 10);
    const double truth = static_cast<double>(before.size()) + 0.375 + static_cast<double>(playedOrigin(plan())) * ratio;
    for (const std::optional<double> hint : {std::optional<double>(), std::optional<double>(1000.0)}) {
        const SweepLocation found = locate(recording, hint);
        ASSERT_TRUE(found.found);
        EXPECT_FALSE(found.fromHint);
        EXPECT_NEAR(found.start, truth, 4.0 * found.startSigma + 200.0);  // the 100 Hz high-pass delays the low tones
    }
}

// A blind search looks first only where the whole sweep fits in the
// recording; a recording that ends before the sweep does, or starts after it
// began, is searched whole and still found, even where what it holds is
// mostly the low octaves' long tones.
TEST(SweepLocator, FindsASweepThatTheRecordingHoldsOnlyInPart) {
    const double ratio = 1.0 - 80e-6;
    const std::vector<double> whole = recordedAt(played(), 0.625, ratio,
                                                 static_cast<std::size_t>(static_cast<double>(played().size()) * ratio));
    const double truth = 0.625 + static_cast<double>(playedOrigin(plan())) * ratio;
    const std::size_t cut = whole.size() / 3;
    const struct {
        std::string name;
        std::vector<double> samples;
        double start;
    } cases[] = {
        {"the whole sweep", whole, truth},
        {"all but its last tenth",
         std::vector<double>(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(whole.size() / 10)), truth},
        {"its first two thirds",
         std::vector<double>(whole.begin(), whole.end() - static_cast<std::ptrdiff_t>(cut)), truth},
        {"its last two thirds", std::vector<double>(whole.begin() + static_cast<std::ptrdiff_t>(cut), whole.end()),
         truth - static_cast<double>(cut)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SweepLocation found = locate(toPcm16(c.samples, 0.03, 1.0, 31));
        ASSERT_TRUE(found.found);
        EXPECT_NEAR(found.start, c.start, 4.0 * found.startSigma + 2.0);
        EXPECT_NEAR(found.ppm, -80.0, 4.0 * found.ppmSigma + 1.0);
    }
}

std::vector<double> reversed(std::vector<double> x) {
    std::reverse(x.begin(), x.end());
    return x;
}

TEST(SweepLocator, FindsNoSweepInWhatIsNotThisSweep) {
    const std::size_t length = played().size();
    const struct {
        std::string name;
        std::vector<double> samples;
    } cases[] = {
        {"silence", std::vector<double>(length, 0.0)},
        {"white noise at -20 dBFS", whiteNoise(length, 3277.0, 21)},
        {"white noise at full scale", whiteNoise(length, 12000.0, 22)},
        {"music-like random tones", randomTones(length, 60, kRate, 23)},
        {"dense random tones", randomTones(length, 400, kRate, 24)},
        {"this sweep reversed", reversed(played())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::int16_t> recording = toPcm16(c.samples, 1.0, 0.0, 0);
        for (const std::optional<double> hint : {std::optional<double>(), std::optional<double>(168000.0)}) {
            const SweepLocation found = locate(recording, hint);
            EXPECT_FALSE(found.found) << "start " << found.start << ", " << found.agreeing << " stretches, margin "
                                      << found.margin;
        }
    }
}

}  // namespace
}  // namespace auralyn::test
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
