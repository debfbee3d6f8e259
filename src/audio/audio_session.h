#pragma once

// The sound devices of this computer and one play-and-record session on them.
//
// Linux and other Unix systems use PortAudio (ALSA and JACK; the desktop's
// sound server through ALSA's "pulse"/"default" devices); Windows uses its own
// WinMM (waveOut/waveIn), so that the program imports only Windows' DLLs.
// Both sit behind this header.
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace auralyn::audio {

struct DeviceInfo {
    std::string name;   // what --output-device / --input-device take
    std::string api;    // the system's audio interface it belongs to (ALSA, JACK, WinMM)
    int inputChannels = 0;
    int outputChannels = 0;
    double defaultRate = 0.0;
    std::vector<int> rates16Bit;  // common rates the device accepts as 16-bit; empty when unknown
    bool defaultInput = false;
    bool defaultOutput = false;
};

struct DeviceList {
    std::vector<DeviceInfo> devices;
    std::string error;  // empty on success
};

DeviceList listDevices();

// Where the mono sweep goes on the output.
enum class OutputChannels { Left, Right, Both };

// What the input is captured as: 16-bit codes, or the device's samples as
// floating point (which holds 24 bits exactly), kept as 24-bit or float.
enum class CaptureFormat { Int16, Int24, Float32 };

struct SessionRequest {
    std::string outputDevice;  // empty: the system's default output
    OutputChannels outputChannels = OutputChannels::Both;
    std::string inputDevice;   // empty: the system's default input
    int inputChannels = 1;     // channels to capture, interleaved in the result
    CaptureFormat capture = CaptureFormat::Int16;
    int sampleRate = 48000;
    std::span<const std::int16_t> sweep;  // played once, whole
    double leadSeconds = 0.5;   // recording before playback starts
    double tailSeconds = 1.0;   // recording beyond the sweep's end
    double stallSeconds = 2.0;  // a device silent (no callbacks) this long has gone away
    // Set (e.g. from a SIGINT handler) to stop at once; must stay valid for the call.
    const std::atomic<bool>* cancel = nullptr;
};

struct SessionProgress {
    double secondsDone = 0.0;
    double secondsTotal = 0.0;
    double inputPeakDbfs = -200.0;  // since the previous report, over all captured channels
    bool inputClipped = false;      // since the previous report
    bool playing = false;           // the sweep itself is being played
};

// Called on the caller's thread, about every 50 ms, while the session runs.
using ProgressObserver = std::function<void(const SessionProgress&)>;

enum class SessionStatus {
    Complete,
    Cancelled,      // the cancel flag was set: `frames` holds what was recorded until then
    NoSuchDevice,
    RateRefused,    // a device does not take this rate (or channel count) in the sample format asked
    SilentInput,    // every captured sample is zero: `frames` holds the recording
    LostSamples,    // input overflow, output underflow during the sweep, or a frame count that fell short
    DeviceStopped,  // no callbacks for `stallSeconds`: unplugged, or the server went away
    DeviceError,    // anything else the audio system reports
    BadRequest,     // no sweep, no channels, a rate of zero; stays the last (describe names them in order)
};

struct SessionResult {
    SessionStatus status = SessionStatus::DeviceError;
    std::string message;               // what happened, for "auralyn: " + message
    // Interleaved, `channels` samples per frame, in the units of a 16-bit code
    // (full scale 32768): a 16-bit capture holds whole numbers.
    std::vector<float> frames;
    int channels = 0;
    int sampleRate = 0;
    std::uint64_t lostFrames = 0;      // frames known to be missing from `frames`
    bool ok() const { return status == SessionStatus::Complete; }
};

// Opens both devices at `sampleRate` (the output as 16-bit, the input in the
// capture format asked), starts recording, plays the
// sweep after `leadSeconds`, records `tailSeconds` beyond its end, closes the
// devices and returns the recording. Never throws; never waits longer than the
// session's length plus `stallSeconds` (and the devices' own latency).
SessionResult playAndRecord(const SessionRequest& request, const ProgressObserver& observer = {});

std::string describe(SessionStatus status);

}  // namespace auralyn::audio
