// auralyn devices: what --output-device and --input-device can name.
#include <cstdio>
#include <string>

#include "cli/audio_commands.h"
#include "cli/commands.h"

#ifdef AURALYN_HAVE_AUDIO
#include "audio/audio_session.h"
#endif

namespace auralyn::cli {

namespace {

#ifdef AURALYN_HAVE_AUDIO

std::string rateList(const audio::DeviceInfo& device) {
    if (device.rates16Bit.empty()) {
        return "not known";
    }
    std::string text;
    for (const int rate : device.rates16Bit) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(rate);
    }
    return text;
}

void printDevice(const audio::DeviceInfo& device) {
    std::string marks;
    if (device.defaultOutput) {
        marks += " (default output)";
    }
    if (device.defaultInput) {
        marks += " (default input)";
    }
    std::printf("%s%s\n", device.name.c_str(), marks.c_str());
    std::printf("  %s, %d output channels, %d input channels, default rate %.0f Hz\n", device.api.c_str(),
                device.outputChannels, device.inputChannels, device.defaultRate);
    std::printf("  16-bit rates: %s\n", rateList(device).c_str());
}

int listDevices() {
    const audio::DeviceList list = audio::listDevices();
    if (!list.error.empty()) {
        std::fprintf(stderr, "auralyn: %s\n", list.error.c_str());
        return kExitFailure;
    }
    if (list.devices.empty()) {
        std::fprintf(stderr, "auralyn: this computer has no sound devices\n");
        return kExitFailure;
    }
    for (const audio::DeviceInfo& device : list.devices) {
        printDevice(device);
    }
    return std::fflush(stdout) == 0 ? kExitSuccess : kExitFailure;
}

#else

int listDevices() {
    std::fprintf(stderr, "auralyn: this build has no audio devices (it was built without PortAudio)\n");
    return kExitFailure;
}

#endif

}  // namespace

void addDevicesCommand(CLI::App& app, int& exitCode) {
    CLI::App* command = app.add_subcommand(
        "devices", "List the sound devices: the names that --output-device and --input-device take, their "
                   "channel counts and the rates they accept as 16-bit.");
    command->callback([&exitCode] { exitCode = listDevices(); });
}

}  // namespace auralyn::cli
