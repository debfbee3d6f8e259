#include "simulation/soxr_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulation/clock_resampler.h"

namespace auralyn::simulation {
namespace {

// What a user whose library is not the right one is told to install.
TEST(SoxrApi, AWrongLibraryIsRefusedWithThePackageToInstall) {
    EXPECT_EQ(platform::loadFunctions<SoxrApi>("libm.so.6").error,
              "simulating a clock error needs libsoxr (libsoxr0): libm.so.6 has no soxr_io_spec");
}

// Through the loaded library: a clock 1000 ppm fast stretches 48000 samples by 48.
TEST(SoxrApi, InstalledLibraryResamples) {
    ASSERT_TRUE(soxrLibrary().ok()) << soxrLibrary().error;
    std::string error;
    std::optional<ClockResampler> resampler = ClockResampler::create(1000.0, error);
    ASSERT_TRUE(resampler.has_value()) << error;
    std::vector<double> block(48000, 0.25);
    ASSERT_TRUE(resampler->finish(block, error)) << error;
    EXPECT_EQ(block.size(), 48048u);
    EXPECT_NEAR(block[24000], 0.25, 1e-6);
}

}  // namespace
}  // namespace auralyn::simulation
