#include "simulation/soxr_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulation/clock_resampler.h"

namespace auralyn::simulation {
namespace {

constexpr const char* kAdvice = "simulating a clock error needs libsoxr (libsoxr0): ";

TEST(SoxrApi, MissingLibraryNamesThePackage) {
    const SoxrLoad load = loadSoxr("libsoxr-absent-for-tests.so.0");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error.rfind(kAdvice, 0), 0u) << load.error;
    EXPECT_NE(load.error.find("libsoxr-absent-for-tests.so.0"), std::string::npos) << load.error;
}

TEST(SoxrApi, LibraryWithoutItsFunctionsIsRefused) {
    const SoxrLoad load = loadSoxr("libm.so.6");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error, std::string(kAdvice) + "libm.so.6 has no soxr_io_spec");
    EXPECT_EQ(load.api.create, nullptr);
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
