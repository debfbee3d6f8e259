// The callbacks of a session's two PortAudio streams (run on PortAudio's own
// threads) and opening the streams.
#include <algorithm>
#include <array>
#include <chrono>

#include "audio/portaudio_parts.h"
#include "audio/portaudio_streams.h"

namespace auralyn::audio {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t nowNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

int onOutput(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
             PaStreamCallbackFlags flags, void* user) {
    Shared& shared = *static_cast<Shared*>(user);
    auto* out = static_cast<std::int16_t*>(output);
    const std::uint64_t before = shared.playedFrames.load(std::memory_order_relaxed);
    std::array<std::int16_t, 256> chunk{};
    unsigned long done = 0;
    while (done < frames) {
        const std::size_t wanted = std::min<std::size_t>(chunk.size(), frames - done);
        const std::size_t got = shared.playRing.pop(std::span(chunk.data(), wanted));
        for (std::size_t i = 0; i < got; ++i) {
            writeMappedFrame(chunk[i], shared.mapping, shared.outputChannels, out + (done + i) * shared.outputChannels);
        }
        done += got;
        if (got < wanted) {
            break;
        }
    }
    const std::uint64_t played = before + done;
    // Running dry in the lead's silence only delays the sweep; in the sweep it is a gap.
    if (played >= shared.leadFrames && played < shared.playFrames && done < frames) {
        shared.starvedSamples.fetch_add(std::min<std::uint64_t>(frames - done, shared.playFrames - played));
    }
    for (; done < frames; ++done) {
        writeMappedFrame(0, shared.mapping, shared.outputChannels, out + done * shared.outputChannels);
    }
    // PortAudio flags an underflow on the callback after it, so the gap lies
    // just before this callback's first frame: one in silence (the session's
    // lead, the sweep's own lead-in) only moves what follows, one in the
    // sweep's sound breaks it.
    if ((flags & paOutputUnderflow) != 0 && before > shared.soundBegin && before < shared.soundEnd) {
        shared.outputUnderflow.store(true);
    }
    shared.playedFrames.store(played, std::memory_order_release);
    shared.outputCallbacks.fetch_add(1, std::memory_order_release);
    return paContinue;
}

// The captured samples into the ring in 16-bit units, converted a chunk at a time.
void pushCaptured(Shared& shared, const void* input, std::size_t count) {
    std::array<float, 1024> chunk{};
    for (std::size_t done = 0; done < count;) {
        const std::size_t take = std::min(chunk.size(), count - done);
        if (shared.floatInput) {
            const float* samples = static_cast<const float*>(input) + done;
            for (std::size_t i = 0; i < take; ++i) chunk[i] = samples[i] * 32768.0f;
        } else {
            const std::int16_t* samples = static_cast<const std::int16_t*>(input) + done;
            for (std::size_t i = 0; i < take; ++i) chunk[i] = samples[i];
        }
        shared.recordRing.push(std::span<const float>(chunk.data(), take));
        done += take;
    }
}

int onInput(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
            PaStreamCallbackFlags flags, void* user) {
    Shared& shared = *static_cast<Shared*>(user);
    const std::int64_t now = nowNanoseconds();
    if (shared.inputCallbacks.load(std::memory_order_relaxed) == 0) {
        shared.firstInputNs.store(now);
        shared.firstInputFrames.store(frames);
    }
    shared.lastInputNs.store(now);
    if ((flags & paInputOverflow) != 0) {
        shared.inputOverflow.store(true);
    }
    const std::size_t channels = static_cast<std::size_t>(shared.inputChannels);
    const std::size_t room = shared.recordRing.freeSpace() / channels;
    const std::size_t kept = input == nullptr ? 0 : std::min<std::size_t>(room, frames);
    if (kept > 0) pushCaptured(shared, input, kept * channels);
    if (kept < frames) {
        shared.droppedFrames.fetch_add(frames - kept);
    }
    shared.capturedFrames.fetch_add(frames, std::memory_order_relaxed);
    shared.inputCallbacks.fetch_add(1, std::memory_order_release);
    return paContinue;
}

std::string hostErrorText(PaError error) {
    if (error == paUnanticipatedHostError) {
        const PaHostErrorInfo* info = pa().getLastHostErrorInfo();
        if (info != nullptr && info->errorText != nullptr && info->errorText[0] != '\0') {
            return info->errorText;
        }
    }
    return pa().getErrorText(error);
}

}  // namespace

std::optional<SessionResult> openStream(const OpenRequest& open, Shared& shared, StreamHandle& handle) {
    const PaDeviceInfo* info = pa().getDeviceInfo(open.device);
    const std::string role = open.input ? "input" : "output";
    const std::string device = "the " + role + " device \"" + deviceName(open.device) + "\"";
    const PaSampleFormat format = open.floatSamples ? paFloat32 : paInt16;
    const char* formatName = open.floatSamples ? "24-bit or float" : "16-bit";
    PaStreamParameters parameters{open.device, open.channels, format,
                                  open.input ? info->defaultHighInputLatency : info->defaultHighOutputLatency,
                                  nullptr};
    const PaStreamParameters* in = open.input ? &parameters : nullptr;
    const PaStreamParameters* out = open.input ? nullptr : &parameters;
    const PaError supported = pa().isFormatSupported(in, out, open.rate);
    if (supported == paInvalidSampleRate) {
        return failure(SessionStatus::RateRefused,
                       device + " does not take " + std::to_string(open.rate) + " Hz as " + formatName);
    }
    if (supported == paInvalidChannelCount) {
        return failure(SessionStatus::RateRefused,
                       device + " does not have " + std::to_string(open.channels) + " " + role + " channels");
    }
    if (supported != paFormatIsSupported) {
        return failure(SessionStatus::DeviceError, device + " cannot be used: " + hostErrorText(supported));
    }
    const PaError opened = pa().openStream(&handle.stream, in, out, open.rate, paFramesPerBufferUnspecified,
                                         paClipOff | paDitherOff, open.input ? onInput : onOutput, &shared);
    if (opened != paNoError) {
        handle.stream = nullptr;
        return failure(SessionStatus::DeviceError, device + " did not open: " + hostErrorText(opened));
    }
    return std::nullopt;
}

std::optional<SessionResult> startStream(StreamHandle& handle, const char* role) {
    const PaError started = pa().startStream(handle.stream);
    if (started != paNoError) {
        return failure(SessionStatus::DeviceError,
                       std::string("the ") + role + " device did not start: " + hostErrorText(started));
    }
    return std::nullopt;
}

}  // namespace auralyn::audio
