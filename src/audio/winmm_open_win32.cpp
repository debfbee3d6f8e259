// Opening one direction of a WinMM session (winmm_open_win32.h).
#include <algorithm>
#include <cmath>

#include "audio/session_parts.h"
#include "audio/winmm_open_win32.h"

namespace auralyn::audio {

namespace {

// What a device's refusal to be asked or opened means for the caller.
SessionResult refusal(MMRESULT code, const WaveDevice& device, bool input, int channels, int rate) {
    const std::string what = describeWaveDevice(device, input);
    if (code == WAVERR_BADFORMAT) {
        return failure(SessionStatus::RateRefused, what + " does not take " + std::to_string(rate) +
                                                       " Hz as 16-bit with " + std::to_string(channels) + " channels");
    }
    if (code == MMSYSERR_BADDEVICEID || code == MMSYSERR_NODRIVER) {
        return failure(SessionStatus::NoSuchDevice, what + " is not there: " + waveErrorText(code, input));
    }
    return failure(SessionStatus::DeviceError, what + " cannot be used: " + waveErrorText(code, input));
}

}  // namespace

std::string describeWaveDevice(const WaveDevice& device, bool input) {
    const std::string name = device.id == WAVE_MAPPER ? std::string("default") : device.name;
    return std::string("the ") + (input ? "input" : "output") + " device \"" + name + "\"";
}

// Asks, then opens, then prepares the buffers of one direction.
std::optional<SessionResult> openWaveDirection(WaveStream& stream, const WaveDevice& device, bool input, int channels,
                                               int rate) {
    if (device.id != WAVE_MAPPER && channels > device.channels) {
        return failure(SessionStatus::RateRefused, describeWaveDevice(device, input) + " does not have " +
                                                       std::to_string(channels) + (input ? " input" : " output") +
                                                       " channels");
    }
    if (const MMRESULT asked = queryWaveFormat(device.id, input, channels, rate); asked != MMSYSERR_NOERROR) {
        return refusal(asked, device, input, channels, rate);
    }
    if (const MMRESULT opened = stream.open(device.id, channels, rate); opened != MMSYSERR_NOERROR) {
        return refusal(opened, device, input, channels, rate);
    }
    const auto frames = static_cast<std::size_t>(std::max<long long>(1, std::llround(kWaveBufferSeconds * rate)));
    if (const MMRESULT prepared = stream.prepare(kWaveBufferCount, frames); prepared != MMSYSERR_NOERROR) {
        return failure(SessionStatus::DeviceError,
                       describeWaveDevice(device, input) + " refused its buffers: " + waveErrorText(prepared, input));
    }
    return std::nullopt;
}

}  // namespace auralyn::audio
