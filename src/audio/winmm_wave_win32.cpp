// The 16-bit wave format, WinMM's error texts and one open wave device with its
// buffers (winmm_wave_win32.h).
#include <algorithm>
#include <atomic>

#include "audio/winmm_wave_win32.h"

namespace auralyn::audio {

namespace {

// KSDATAFORMAT_SUBTYPE_PCM, spelled out: the SDK's macro needs GUID storage of its own.
constexpr GUID kPcmSubtype{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

}  // namespace

WAVEFORMATEXTENSIBLE waveFormat(int channels, int rate) {
    WAVEFORMATEXTENSIBLE format{};
    WAVEFORMATEX& base = format.Format;
    base.wFormatTag = WAVE_FORMAT_PCM;
    base.nChannels = static_cast<WORD>(channels);
    base.nSamplesPerSec = static_cast<DWORD>(rate);
    base.wBitsPerSample = 16;
    base.nBlockAlign = static_cast<WORD>(channels * 2);
    base.nAvgBytesPerSec = base.nSamplesPerSec * base.nBlockAlign;
    if (channels > 2) {
        base.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        base.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        format.Samples.wValidBitsPerSample = 16;
        format.dwChannelMask = 0;  // channels without speaker positions: a measurement takes them as numbered
        format.SubFormat = kPcmSubtype;
    }
    return format;
}

MMRESULT queryWaveFormat(UINT id, bool input, int channels, int rate) {
    const WAVEFORMATEXTENSIBLE format = waveFormat(channels, rate);
    if (input) {
        return waveInOpen(nullptr, id, &format.Format, 0, 0, WAVE_FORMAT_QUERY);
    }
    return waveOutOpen(nullptr, id, &format.Format, 0, 0, WAVE_FORMAT_QUERY);
}

std::string waveErrorText(MMRESULT code, bool input) {
    char text[MAXERRORLENGTH] = {};
    const MMRESULT described = input ? waveInGetErrorTextA(code, text, sizeof text)
                                     : waveOutGetErrorTextA(code, text, sizeof text);
    if (described != MMSYSERR_NOERROR || text[0] == '\0') {
        return "WinMM error " + std::to_string(code);
    }
    return text;
}

MMRESULT WaveStream::open(UINT id, int channels, int rate) {
    const WAVEFORMATEXTENSIBLE format = waveFormat(channels, rate);
    channels_ = channels;
    if (input_) {
        return waveInOpen(&in_, id, &format.Format, 0, 0, CALLBACK_NULL);
    }
    return waveOutOpen(&out_, id, &format.Format, 0, 0, CALLBACK_NULL);
}

MMRESULT WaveStream::prepare(std::size_t count, std::size_t framesPerBuffer) {
    framesPerBuffer_ = framesPerBuffer;
    const std::size_t samplesPerBuffer = framesPerBuffer * static_cast<std::size_t>(channels_);
    storage_.assign(count, std::vector<std::int16_t>(samplesPerBuffer, 0));
    headers_.assign(count, WAVEHDR{});
    queued_.assign(count, false);
    prepared_.assign(count, false);
    for (std::size_t i = 0; i < count; ++i) {
        WAVEHDR& header = headers_[i];
        header.lpData = reinterpret_cast<LPSTR>(storage_[i].data());
        header.dwBufferLength = static_cast<DWORD>(samplesPerBuffer * sizeof(std::int16_t));
        const MMRESULT result = input_ ? waveInPrepareHeader(in_, &header, sizeof header)
                                       : waveOutPrepareHeader(out_, &header, sizeof header);
        if (result != MMSYSERR_NOERROR) {
            return result;
        }
        prepared_[i] = true;
    }
    return MMSYSERR_NOERROR;
}

std::span<std::int16_t> WaveStream::samples(std::size_t buffer) { return storage_[buffer]; }

std::span<const std::int16_t> WaveStream::recorded(std::size_t buffer) {
    const std::size_t samples = headers_[buffer].dwBytesRecorded / sizeof(std::int16_t);
    const std::size_t whole = samples / static_cast<std::size_t>(channels_) * static_cast<std::size_t>(channels_);
    return std::span<const std::int16_t>(storage_[buffer]).first(std::min(whole, storage_[buffer].size()));
}

MMRESULT WaveStream::submit(std::size_t buffer) {
    WAVEHDR& header = headers_[buffer];
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    header.dwBytesRecorded = 0;
    const MMRESULT result = input_ ? waveInAddBuffer(in_, &header, sizeof header)
                                   : waveOutWrite(out_, &header, sizeof header);
    queued_[buffer] = result == MMSYSERR_NOERROR;
    return result;
}

bool WaveStream::done(std::size_t buffer) {
    // WinMM's thread sets the flag; the acquire load makes the samples it wrote visible here.
    return (std::atomic_ref<DWORD>(headers_[buffer].dwFlags).load(std::memory_order_acquire) & WHDR_DONE) != 0;
}

MMRESULT WaveStream::pause() { return input_ ? MMSYSERR_NOTSUPPORTED : waveOutPause(out_); }

MMRESULT WaveStream::start() { return input_ ? waveInStart(in_) : waveOutRestart(out_); }

void WaveStream::reset() {
    if (in_ != nullptr) {
        waveInReset(in_);
    }
    if (out_ != nullptr) {
        waveOutReset(out_);
    }
}

void WaveStream::close() {
    if (in_ == nullptr && out_ == nullptr) {
        return;
    }
    reset();
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        if (prepared_[i]) {
            input_ ? waveInUnprepareHeader(in_, &headers_[i], sizeof headers_[i])
                   : waveOutUnprepareHeader(out_, &headers_[i], sizeof headers_[i]);
        }
    }
    prepared_.assign(prepared_.size(), false);
    if (in_ != nullptr) {
        waveInClose(in_);
        in_ = nullptr;
    }
    if (out_ != nullptr) {
        waveOutClose(out_);
        out_ = nullptr;
    }
}

}  // namespace auralyn::audio
