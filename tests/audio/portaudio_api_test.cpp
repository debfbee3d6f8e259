#include "audio/portaudio_api.h"

#include <gtest/gtest.h>

#include <string>

namespace auralyn::audio {
namespace {

// What a user whose library is not the right one is told to install.
TEST(PortAudioApi, AWrongLibraryIsRefusedWithThePackageToInstall) {
    EXPECT_EQ(platform::loadFunctions<PortAudioApi>("libm.so.6").error,
              "audio devices need PortAudio (libportaudio2): libm.so.6 has no Pa_Initialize");
}

TEST(PortAudioApi, InstalledLibraryHasEveryFunction) {
    const auto& load = portAudio();
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_NE(load.api.closeStream, nullptr);
    EXPECT_STREQ(load.api.getErrorText(paNoError), "Success");
    EXPECT_EQ(&portAudio(), &load);
}

}  // namespace
}  // namespace auralyn::audio
