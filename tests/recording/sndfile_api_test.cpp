#include "recording/sndfile_api.h"

#include <gtest/gtest.h>

#include <string>

namespace auralyn::recording {
namespace {

constexpr const char* kAdvice = "WAV files other than 16-bit PCM need libsndfile (libsndfile1): ";

TEST(SndFileApi, MissingLibraryNamesThePackage) {
    const SndFileLoad load = loadSndFile("libsndfile-absent-for-tests.so.1");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error.rfind(kAdvice, 0), 0u) << load.error;
    EXPECT_NE(load.error.find("libsndfile-absent-for-tests.so.1"), std::string::npos) << load.error;
    EXPECT_EQ(load.api.open, nullptr);
}

TEST(SndFileApi, LibraryWithoutItsFunctionsIsRefused) {
    const SndFileLoad load = loadSndFile("libm.so.6");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error, std::string(kAdvice) + "libm.so.6 has no sf_open");
}

TEST(SndFileApi, InstalledLibraryHasEveryFunction) {
    const SndFileLoad& load = sndFile();
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_NE(load.api.writeFloat, nullptr);
    EXPECT_EQ(&sndFile(), &load);
}

}  // namespace
}  // namespace auralyn::recording
