#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "cli/playback_level.h"
#include "sweep/sweep_plan.h"
#include "run_program.h"
#include "test_files.h"

namespace auralyn::cli {
namespace {

TEST(PlaybackLevel, SamplesScaleAndRoundHalfAway) {
    // -6.0206 dB halves: 3 -> 1.5 -> 2, -3 -> -2, 32767 -> 16384 (16383.5 rounded away).
    const auto out = attenuatedSamples({3, -3, 32767, -32768, 0}, 20.0 * std::log10(0.5));
    EXPECT_EQ(out, (std::vector<std::int16_t>{2, -2, 16384, -16384, 0}));
    EXPECT_EQ(attenuatedSamples({1234}, 0.0), (std::vector<std::int16_t>{1234}));
}

TEST(PlaybackLevel, ParameterFileFollowsThePulse) {
    test::TempDir dir;
    const auto made = test::runProgram(AURALYN_PATH, {"sweep", "-o", "s.wav", "--start", "1000", "--end", "2000",
                                                      "--step", "1", "--sync-level", "90", "-q"},
                                       "", dir.path().string());
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::string error;
    ASSERT_TRUE(writeAttenuatedParameters(dir.file("s.swp"), dir.file("p.swp"), -20.0, error)) << error;
    sweep::SweepPlan played;
    std::FILE* in = std::fopen(dir.file("p.swp").c_str(), "rb");
    ASSERT_TRUE(in != nullptr && played.readParameters(in));
    std::fclose(in);
    EXPECT_NEAR(played.params().syncPulseLevel, 9.0, 1e-12);
    EXPECT_GT(played.params().syncThreshold, 0.0);
    EXPECT_LT(played.params().syncThreshold, played.params().syncPulseLevel);
    EXPECT_FALSE(writeAttenuatedParameters(dir.file("missing.swp"), dir.file("q.swp"), -20.0, error));
}

TEST(PlaybackLevel, DriveVoltsGiveTheLevelOrAReason) {
    std::string error;
    EXPECT_NEAR(*levelForDrive(2.83, 2.83, error), 0.0, 1e-12);
    EXPECT_NEAR(*levelForDrive(1.0, 2.0, error), -6.0205999132796242, 1e-12);
    EXPECT_FALSE(levelForDrive(4.0, 2.0, error));
    EXPECT_NE(error.find("above the output's full scale"), std::string::npos) << error;
}

}  // namespace
}  // namespace auralyn::cli
