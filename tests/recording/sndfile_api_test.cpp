#include "recording/sndfile_api.h"

#include <gtest/gtest.h>

#include <string>

namespace auralyn::recording {
namespace {

// What a user whose library is not the right one is told to install.
TEST(SndFileApi, AWrongLibraryIsRefusedWithThePackageToInstall) {
    EXPECT_EQ(platform::loadFunctions<SndFileApi>("libm.so.6").error,
              "WAV files other than 16-bit PCM need libsndfile (libsndfile1): libm.so.6 has no sf_open");
}

TEST(SndFileApi, InstalledLibraryHasEveryFunction) {
    const auto& load = sndFile();
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_NE(load.api.writeFloat, nullptr);
    EXPECT_EQ(&sndFile(), &load);
}

}  // namespace
}  // namespace auralyn::recording
