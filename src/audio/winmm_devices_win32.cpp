// Devices through WinMM: each waveOut and waveIn device with the name, channel
// count and formats of its caps, and the system's mapper as "default".
#include <algorithm>
#include <array>
#include <cstring>

#include "audio/audio_session.h"
#include "audio/device_names.h"
#include "audio/winmm_wave_win32.h"

namespace auralyn::audio {

namespace {

constexpr const char* kDefaultName = "default";

// The 16-bit rates the caps flags speak of (any channel count), and beyond them
// the common rates a device can only be asked about.
struct CapsRate {
    int rate;
    DWORD flags;
};
constexpr std::array<CapsRate, 5> kCapsRates{{
    {11025, WAVE_FORMAT_1M16 | WAVE_FORMAT_1S16},
    {22050, WAVE_FORMAT_2M16 | WAVE_FORMAT_2S16},
    {44100, WAVE_FORMAT_4M16 | WAVE_FORMAT_4S16},
    {48000, WAVE_FORMAT_48M16 | WAVE_FORMAT_48S16},
    {96000, WAVE_FORMAT_96M16 | WAVE_FORMAT_96S16},
}};
constexpr std::array<int, 11> kCommonRates{8000,  11025, 16000, 22050,  32000, 44100,
                                           48000, 88200, 96000, 176400, 192000};

bool capsSayRate(DWORD formats, int rate) {
    for (const CapsRate& known : kCapsRates) {
        if (known.rate == rate) {
            return (formats & known.flags) != 0;
        }
    }
    return false;
}

std::vector<int> supportedRates(const WaveDevice& device, bool input) {
    std::vector<int> rates;
    const int channels = std::min(device.channels, 2);
    for (const int rate : kCommonRates) {
        if (capsSayRate(device.formats, rate) ||
            queryWaveFormat(device.id, input, channels, rate) == MMSYSERR_NOERROR) {
            rates.push_back(rate);
        }
    }
    return rates;
}

UINT deviceCount(bool input) { return input ? waveInGetNumDevs() : waveOutGetNumDevs(); }

std::vector<WaveDevice> devicesOf(bool input) {
    std::vector<WaveDevice> devices;
    for (UINT id = 0; id < deviceCount(input); ++id) {
        if (auto device = waveDeviceCaps(id, input); device && device->channels > 0) {
            devices.push_back(std::move(*device));
        }
    }
    return devices;
}

DeviceInfo describeDevice(const WaveDevice& device, bool input) {
    DeviceInfo info;
    info.name = device.id == WAVE_MAPPER ? kDefaultName : device.name;
    info.api = "WinMM";
    (input ? info.inputChannels : info.outputChannels) = device.channels;
    info.rates16Bit = supportedRates(device, input);
    // WinMM has no preferred rate; the mapper converts whatever it is given.
    info.defaultRate = info.rates16Bit.empty() ? 0.0 : 48000.0;
    (input ? info.defaultInput : info.defaultOutput) = device.id == WAVE_MAPPER;
    return info;
}

template <typename Caps>
WaveDevice fromCaps(UINT id, const Caps& caps) {
    WaveDevice device;
    device.id = id;
    device.name.assign(caps.szPname, strnlen(caps.szPname, sizeof caps.szPname));
    device.channels = caps.wChannels;
    device.formats = caps.dwFormats;
    return device;
}

}  // namespace

std::optional<WaveDevice> waveDeviceCaps(UINT id, bool input) {
    WAVEINCAPSA inCaps{};
    WAVEOUTCAPSA outCaps{};
    const MMRESULT answer = input ? waveInGetDevCapsA(id, &inCaps, sizeof inCaps)
                                  : waveOutGetDevCapsA(id, &outCaps, sizeof outCaps);
    if (answer != MMSYSERR_NOERROR) {
        return std::nullopt;
    }
    return input ? fromCaps(id, inCaps) : fromCaps(id, outCaps);
}

WaveLookup findWaveDevice(const std::string& name, bool input) {
    const char* direction = input ? "input" : "output";
    if (name.empty() || name == kDefaultName) {
        if (deviceCount(input) == 0) {
            return {std::nullopt, std::string("this computer has no default ") + direction + " device"};
        }
        if (auto mapper = waveDeviceCaps(WAVE_MAPPER, input)) {
            return {std::move(mapper), ""};
        }
        return {std::nullopt, std::string("the default ") + direction + " device does not answer"};
    }
    const std::vector<WaveDevice> devices = devicesOf(input);
    std::vector<std::string> names;
    for (const WaveDevice& device : devices) {
        names.push_back(device.name);
    }
    const NameMatch match = matchDeviceName(name, names, direction);
    if (!match.position) {
        return {std::nullopt, match.error};
    }
    return {devices[*match.position], ""};
}

DeviceList listDevices() {
    DeviceList list;
    for (const bool input : {false, true}) {
        if (deviceCount(input) == 0) {
            continue;
        }
        if (auto mapper = waveDeviceCaps(WAVE_MAPPER, input)) {
            list.devices.push_back(describeDevice(*mapper, input));
        }
        for (const WaveDevice& device : devicesOf(input)) {
            list.devices.push_back(describeDevice(device, input));
        }
    }
    return list;
}

}  // namespace auralyn::audio
