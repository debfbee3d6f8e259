#pragma once

// Opening one direction of a WinMM session: asking the device whether it takes
// the format, opening it, preparing its buffers, and what a refusal means for
// the caller (a rate refused, a device gone, anything else).
#include <optional>
#include <string>

#include "audio/audio_session.h"
#include "audio/winmm_wave_win32.h"

namespace auralyn::audio {

// Eight buffers of 40 ms each way: 320 ms of slack for a poll that comes late.
constexpr std::size_t kWaveBufferCount = 8;
constexpr double kWaveBufferSeconds = 0.04;

// "the input device \"NAME\"", with the mapper called "default" as the device list calls it.
std::string describeWaveDevice(const WaveDevice& device, bool input);

// Opens `stream` on `device` as 16-bit `channels` at `rate` with its buffers prepared; else why not.
std::optional<SessionResult> openWaveDirection(WaveStream& stream, const WaveDevice& device, bool input, int channels,
                                               int rate);

}  // namespace auralyn::audio
