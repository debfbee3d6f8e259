#pragma once

// WinMM's wave devices behind the session: the 16-bit format, finding a device by
// name, and an open device with a small set of buffers that the caller's thread
// rotates. The device is opened without a callback (CALLBACK_NULL): the caller
// polls each buffer's WHDR_DONE flag, so that no thread of ours runs beside
// WinMM's own.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace auralyn::audio {

// What WinMM says about one device of one direction.
struct WaveDevice {
    UINT id = WAVE_MAPPER;
    std::string name;
    int channels = 0;
    DWORD formats = 0;  // the WAVE_FORMAT_* flags of its caps
};

std::optional<WaveDevice> waveDeviceCaps(UINT id, bool input);

struct WaveLookup {
    std::optional<WaveDevice> device;
    std::string error;  // why there is none
};

// Empty or "default": the system's mapper (WAVE_MAPPER); otherwise the device
// of that name among this direction's devices.
WaveLookup findWaveDevice(const std::string& name, bool input);

// 16-bit PCM; beyond two channels WAVEFORMATEXTENSIBLE, where plain WAVEFORMATEX is undefined.
WAVEFORMATEXTENSIBLE waveFormat(int channels, int rate);

// Asks the device whether it takes the format, without opening it (WAVE_FORMAT_QUERY).
MMRESULT queryWaveFormat(UINT id, bool input, int channels, int rate);

std::string waveErrorText(MMRESULT code, bool input);

// One open waveIn or waveOut device and its buffers, in the order WinMM returns them.
class WaveStream {
public:
    explicit WaveStream(bool input) : input_(input) {}
    ~WaveStream() { close(); }
    WaveStream(const WaveStream&) = delete;
    WaveStream& operator=(const WaveStream&) = delete;

    MMRESULT open(UINT id, int channels, int rate);
    // `count` buffers of `framesPerBuffer` frames each, prepared and not yet queued.
    MMRESULT prepare(std::size_t count, std::size_t framesPerBuffer);

    std::size_t bufferCount() const { return headers_.size(); }
    std::size_t framesPerBuffer() const { return framesPerBuffer_; }
    std::span<std::int16_t> samples(std::size_t buffer);
    // The samples WinMM filled in a returned input buffer.
    std::span<const std::int16_t> recorded(std::size_t buffer);

    // Hands a buffer to the device: waveInAddBuffer, or waveOutWrite of the whole buffer.
    MMRESULT submit(std::size_t buffer);
    // Whether the device has handed the buffer back (set by WinMM's thread).
    bool done(std::size_t buffer);
    bool queued(std::size_t buffer) const { return queued_[buffer]; }
    void markReturned(std::size_t buffer) { queued_[buffer] = false; }

    MMRESULT pause();  // output only: queued buffers wait for start()
    MMRESULT start();  // waveInStart, or waveOutRestart
    // Returns every queued buffer at once (waveInReset/waveOutReset): recorded ones keep their samples.
    void reset();
    void close();

private:
    bool input_;
    int channels_ = 0;
    HWAVEIN in_ = nullptr;
    HWAVEOUT out_ = nullptr;
    std::size_t framesPerBuffer_ = 0;
    std::vector<std::vector<std::int16_t>> storage_;
    std::vector<WAVEHDR> headers_;
    std::vector<bool> queued_;
    std::vector<bool> prepared_;
};

}  // namespace auralyn::audio
