// Finding a device by the name the user typed: exact names first, then the one
// device whose name contains the text, case-insensitive; ambiguity and absence
// are errors that say what was searched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/device_names.h"

namespace auralyn::audio {
namespace {

const std::vector<std::string> kInputs{"Speakers (HD Audio)", "USB Mic", "USB Mic 2", "Speakers"};

TEST(DeviceNames, AnExactNameWinsOverNamesThatContainIt) {
    EXPECT_EQ(matchDeviceName("USB Mic", kInputs, "input").position, 1u);
    // "Speakers (HD Audio)" contains it and comes first; the exact name still wins.
    EXPECT_EQ(matchDeviceName("Speakers", kInputs, "input").position, 3u);
}

TEST(DeviceNames, APartOfOneNameFindsItWhateverTheCase) {
    const NameMatch match = matchDeviceName("mic 2", kInputs, "input");
    EXPECT_EQ(match.position, 2u);
    EXPECT_TRUE(match.error.empty());
    EXPECT_EQ(matchDeviceName("hd AUDIO", kInputs, "output").position, 0u);
}

TEST(DeviceNames, APartOfSeveralNamesListsThem) {
    // Exact names are case-sensitive: "usb mic" is only a part of two names.
    const NameMatch match = matchDeviceName("usb mic", kInputs, "input");
    EXPECT_FALSE(match.position);
    EXPECT_EQ(match.error, "the input device name \"usb mic\" fits \"USB Mic\", \"USB Mic 2\"");
}

TEST(DeviceNames, ANameThatFitsNothingSaysWhereTheNamesAre) {
    const NameMatch match = matchDeviceName("Line In", kInputs, "output");
    EXPECT_FALSE(match.position);
    EXPECT_EQ(match.error, "there is no output device \"Line In\" (auralyn devices lists them)");
    EXPECT_FALSE(matchDeviceName("USB", std::vector<std::string>{}, "input").position);
}

}  // namespace
}  // namespace auralyn::audio
