#include "audio/portaudio_api.h"

#include <gtest/gtest.h>

#include <string>

namespace auralyn::audio {
namespace {

constexpr const char* kAdvice = "audio devices need PortAudio (libportaudio2): ";

TEST(PortAudioApi, MissingLibraryNamesThePackage) {
    const PortAudioLoad load = loadPortAudio("libportaudio-absent-for-tests.so.2");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error.rfind(kAdvice, 0), 0u) << load.error;
    EXPECT_NE(load.error.find("libportaudio-absent-for-tests.so.2"), std::string::npos) << load.error;
    EXPECT_EQ(load.api.initialize, nullptr);
}

// Some other library by mistake (a wrong soname, a stub): refused before any call.
TEST(PortAudioApi, LibraryWithoutItsFunctionsIsRefused) {
    const PortAudioLoad load = loadPortAudio("libm.so.6");
    EXPECT_FALSE(load.ok());
    EXPECT_EQ(load.error, std::string(kAdvice) + "libm.so.6 has no Pa_Initialize");
}

TEST(PortAudioApi, InstalledLibraryHasEveryFunction) {
    const PortAudioLoad& load = portAudio();
    ASSERT_TRUE(load.ok()) << load.error;
    EXPECT_NE(load.api.closeStream, nullptr);
    EXPECT_STREQ(load.api.getErrorText(paNoError), "Success");
    EXPECT_EQ(&portAudio(), &load);
}

}  // namespace
}  // namespace auralyn::audio
