// Devices through PortAudio.
//
// Why PortAudio rather than RtAudio on Linux: Debian 12's RtAudio (5.2) has a
// native PulseAudio backend, but it offers one device only (the server's default
// sink and source) with a fixed list of rates and reports no overflows. PortAudio
// (19.6) enumerates every ALSA and JACK device with its channel counts, reaches
// the desktop's server through ALSA's "pulse" and "default" devices, answers
// Pa_IsFormatSupported per device and rate (so a refused rate is named before
// anything opens), and flags input overflow and output underflow per callback.
#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "audio/audio_session.h"
#include "audio/device_names.h"
#include "audio/portaudio_api.h"
#include "audio/portaudio_parts.h"
#include "platform/loaded_library.h"

namespace auralyn::audio {

namespace {

// ALSA prints every device it fails to probe on standard error (missing cards,
// unknown surround PCMs); the command line reports problems itself.
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

// ALSA is the library PortAudio itself loads; the handler is set through the
// same loaded copy, and skipped where there is none.
void quietAlsaMessages() {
    using SetHandler = int (*)(snd_lib_error_handler_t);
    const platform::LoadedLibrary alsa = platform::loadLibrary("libasound.so.2");
    if (const auto setHandler = reinterpret_cast<SetHandler>(alsa.symbol("snd_lib_error_set_handler"))) {
        setHandler(quietAlsa);
    }
}

int channelsIn(const PaDeviceInfo& info, bool input) {
    return input ? info.maxInputChannels : info.maxOutputChannels;
}

std::vector<int> supportedRates(PaDeviceIndex index, const PaDeviceInfo& info) {
    static constexpr std::array<int, 11> kCommonRates{8000,  11025, 16000, 22050,  32000, 44100,
                                                      48000, 88200, 96000, 176400, 192000};
    PaStreamParameters input{index, std::min(info.maxInputChannels, 2), paInt16, info.defaultLowInputLatency,
                             nullptr};
    PaStreamParameters output{index, std::min(info.maxOutputChannels, 2), paInt16,
                              info.defaultLowOutputLatency, nullptr};
    std::vector<int> rates;
    for (const int rate : kCommonRates) {
        const PaError answer = pa().isFormatSupported(input.channelCount > 0 ? &input : nullptr,
                                                    output.channelCount > 0 ? &output : nullptr, rate);
        if (answer == paFormatIsSupported) {
            rates.push_back(rate);
        }
    }
    return rates;
}

// The JACK client library prints to standard error, without a way to silence
// it short of its own headers, when no JACK server runs; while PortAudio probes
// the devices, standard error goes to /dev/null (nothing else runs yet).
class QuietStandardError {
public:
    QuietStandardError() : saved_(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) {
            dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            close(null);
        }
    }
    ~QuietStandardError() {
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStandardError(const QuietStandardError&) = delete;
    QuietStandardError& operator=(const QuietStandardError&) = delete;

private:
    int saved_;
};

}  // namespace

PortAudioLibrary::PortAudioLibrary() {
    if (!portAudio().ok()) {
        error_ = paNotInitialized;
        return;
    }
    quietAlsaMessages();
    // A JACK client would otherwise try to start a JACK server of its own.
    setenv("JACK_NO_START_SERVER", "1", 0);
    // Through ALSA's plugin the sound server otherwise gives a stream a buffer
    // so short that a stream it resamples runs dry at the start and keeps
    // dropping samples; 200 ms holds. A value the user set is kept.
    setenv("PULSE_LATENCY_MSEC", "200", 0);
    const QuietStandardError quiet;
    error_ = pa().initialize();
}

PortAudioLibrary::~PortAudioLibrary() {
    if (error_ == paNoError) {
        pa().terminate();
    }
}

std::string PortAudioLibrary::errorText() const {
    if (!portAudio().ok()) return portAudio().error;
    return std::string("the audio system did not start: ") + pa().getErrorText(error_);
}

std::string deviceName(PaDeviceIndex index) {
    const PaDeviceInfo* info = pa().getDeviceInfo(index);
    return info != nullptr && info->name != nullptr ? info->name : "";
}

DeviceLookup findDevice(const std::string& name, bool input) {
    const char* direction = input ? "input" : "output";
    if (name.empty()) {
        const PaDeviceIndex index = input ? pa().getDefaultInputDevice() : pa().getDefaultOutputDevice();
        if (index == paNoDevice) {
            return {paNoDevice, std::string("this computer has no default ") + direction + " device"};
        }
        return {index, ""};
    }
    std::vector<PaDeviceIndex> indices;
    std::vector<std::string> names;
    for (PaDeviceIndex index = 0; index < pa().getDeviceCount(); ++index) {
        const PaDeviceInfo* info = pa().getDeviceInfo(index);
        if (info != nullptr && channelsIn(*info, input) >= 1) {
            indices.push_back(index);
            names.push_back(deviceName(index));
        }
    }
    const NameMatch match = matchDeviceName(name, names, direction);
    if (!match.position) {
        return {paNoDevice, match.error};
    }
    return {indices[*match.position], ""};
}

DeviceList listDevices() {
    DeviceList list;
    PortAudioLibrary library;
    if (!library.ok()) {
        list.error = library.errorText();
        return list;
    }
    const PaDeviceIndex defaultInput = pa().getDefaultInputDevice();
    const PaDeviceIndex defaultOutput = pa().getDefaultOutputDevice();
    for (PaDeviceIndex index = 0; index < pa().getDeviceCount(); ++index) {
        const PaDeviceInfo* info = pa().getDeviceInfo(index);
        if (info == nullptr) {
            continue;
        }
        const PaHostApiInfo* host = pa().getHostApiInfo(info->hostApi);
        DeviceInfo device;
        device.name = info->name != nullptr ? info->name : "";
        device.api = host != nullptr && host->name != nullptr ? host->name : "";
        device.inputChannels = info->maxInputChannels;
        device.outputChannels = info->maxOutputChannels;
        device.defaultRate = info->defaultSampleRate;
        device.rates16Bit = supportedRates(index, *info);
        device.defaultInput = index == defaultInput;
        device.defaultOutput = index == defaultOutput;
        list.devices.push_back(std::move(device));
    }
    return list;
}

}  // namespace auralyn::audio
