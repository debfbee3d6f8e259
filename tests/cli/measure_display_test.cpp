// What auralyn measure shows while it runs: the bar's line, and the warning
// when the sync pulse arrives too low for the analysis to find it.
#include <gtest/gtest.h>

#include <string>

#include "cli/measure_display.h"
#include "cli/measure_files.h"

namespace auralyn::cli {
namespace {

audio::SessionProgress report(double done, double peakDbfs, bool playing, bool clipped = false) {
    audio::SessionProgress p;
    p.secondsDone = done;
    p.secondsTotal = 10.0;
    p.inputPeakDbfs = peakDbfs;
    p.playing = playing;
    p.inputClipped = clipped;
    return p;
}

TEST(MeasureDisplay, TheLineShowsProgressTimeLeftAndTheInputLevel) {
    const std::string line = progressLine(report(2.5, -12.34, true));
    EXPECT_NE(line.find(" 25%"), std::string::npos) << line;
    EXPECT_NE(line.find("7.5 s left"), std::string::npos) << line;
    EXPECT_NE(line.find("-12.3 dBFS"), std::string::npos) << line;
    EXPECT_EQ(line.find("FULL SCALE"), std::string::npos) << line;
    // Silence shows at the meter's floor; full scale is marked.
    EXPECT_NE(progressLine(report(0.0, -200.0, false)).find("-60.0 dBFS"), std::string::npos);
    EXPECT_NE(progressLine(report(9.0, 0.0, true, true)).find("FULL SCALE"), std::string::npos);
    // Past the end the time left is zero, not negative.
    EXPECT_NE(progressLine(report(11.0, -6.0, false)).find("0.0 s left"), std::string::npos);
}

// The pulse is the first thing to rise 10 dB above the input before playback,
// whenever the devices' latency brings it.
std::string warningsFor(const std::vector<audio::SessionProgress>& reports) {
    const PulseWatch pulse{0.2, peakDbfs(4915), 15.0};  // 15 % of full scale, as the sweep's threshold
    ::testing::internal::CaptureStderr();
    {
        SessionDisplay display(true, pulse);
        for (const audio::SessionProgress& p : reports) display.update(p);
    }
    return ::testing::internal::GetCapturedStderr();
}

TEST(MeasureDisplay, WarnsOnlyWhenThePulseArrivesBelowTheThreshold) {
    const std::vector<audio::SessionProgress> loud{report(0.1, -70, false), report(0.5, -70, true),
                                                   report(2.0, -1.0, true), report(2.4, -3.0, true)};
    EXPECT_EQ(warningsFor(loud), "");
    const std::vector<audio::SessionProgress> quiet{report(0.1, -70, false), report(0.5, -70, true),
                                                    report(2.0, -25.0, true), report(2.4, -20.0, true),
                                                    report(3.0, -2.0, true)};
    const std::string warned = warningsFor(quiet);
    EXPECT_NE(warned.find("auralyn: warning: the input peaked at -20.0 dBFS while the sync pulse played"),
              std::string::npos)
        << warned;
    // Noise before playback raises the bar for what counts as the pulse's arrival.
    const std::vector<audio::SessionProgress> noisy{report(0.1, -30, false), report(0.5, -28, true),
                                                    report(1.0, -25, true), report(2.0, -1.0, true),
                                                    report(2.4, -1.0, true)};
    EXPECT_EQ(warningsFor(noisy), "");
}

TEST(MeasureFiles, PeaksAndFullScaleCountsPerChannel) {
    const std::vector<float> frames{0, 100, -32768, 5, 32767, -7, 12, 32767};
    EXPECT_EQ(channelPeak(frames, 2, 0), 32768);
    EXPECT_EQ(channelPeak(frames, 2, 1), 32767);
    EXPECT_EQ(fullScaleCount(frames, 2, 0), 2u);
    EXPECT_EQ(fullScaleCount(frames, 2, 1), 1u);
    EXPECT_DOUBLE_EQ(peakDbfs(32768), 0.0);
    EXPECT_NEAR(peakDbfs(16384), -6.0206, 1e-4);
    EXPECT_EQ(peakDbfs(0), -200.0);
}

}  // namespace
}  // namespace auralyn::cli
