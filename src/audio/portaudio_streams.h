#pragma once

// PortAudio's two streams of a session: what their callbacks share with the
// caller's thread, and opening and starting them.
#include "audio/portaudio_api.h"

#include <atomic>
#include <cstdint>
#include <optional>

#include "audio/audio_session.h"
#include "audio/session_parts.h"
#include "audio/spsc_ring.h"

namespace auralyn::audio {

// Everything the callbacks touch. Counters are written by one callback each.
struct Shared {
    Shared(const SessionPlan& plan, int rate, int outChannels, OutputChannels map, int inChannels, bool floatInput)
        : playRing(static_cast<std::size_t>(rate)),
          recordRing(static_cast<std::size_t>(rate) * 2 * static_cast<std::size_t>(inChannels)),
          outputChannels(outChannels), mapping(map), inputChannels(inChannels), floatInput(floatInput),
          leadFrames(plan.leadFrames), playFrames(plan.playFrames()), soundBegin(plan.soundBegin),
          soundEnd(plan.soundEnd) {}

    SpscRing<std::int16_t> playRing;    // mono samples: caller -> output callback
    SpscRing<float> recordRing;         // interleaved frames in 16-bit units: input callback -> caller
    const int outputChannels;
    const OutputChannels mapping;
    const int inputChannels;
    const bool floatInput;  // the input stream delivers floats (full scale 1), else 16-bit codes
    const std::uint64_t leadFrames;
    const std::uint64_t playFrames;
    const std::uint64_t soundBegin;
    const std::uint64_t soundEnd;

    std::atomic<std::uint64_t> playedFrames{0};
    std::atomic<std::uint64_t> starvedSamples{0};
    std::atomic<bool> outputUnderflow{false};
    std::atomic<std::uint64_t> outputCallbacks{0};

    std::atomic<std::uint64_t> capturedFrames{0};
    std::atomic<std::uint64_t> droppedFrames{0};
    std::atomic<bool> inputOverflow{false};
    std::atomic<std::uint64_t> inputCallbacks{0};
    std::atomic<std::int64_t> firstInputNs{0};
    std::atomic<std::int64_t> lastInputNs{0};
    std::atomic<std::uint64_t> firstInputFrames{0};
};

// Owns an open stream; aborting does not wait for buffers a vanished device will never take.
struct StreamHandle {
    PaStream* stream = nullptr;
    StreamHandle() = default;
    StreamHandle(const StreamHandle&) = delete;
    StreamHandle& operator=(const StreamHandle&) = delete;
    ~StreamHandle() { close(); }
    void close() {
        if (stream != nullptr) {
            pa().abortStream(stream);
            pa().closeStream(stream);
            stream = nullptr;
        }
    }
};

struct OpenRequest {
    PaDeviceIndex device;
    bool input;
    int channels;
    int rate;
    bool floatSamples = false;  // float samples (deeper captures) rather than 16-bit
};

// Opens the device as 16-bit (or float) at the rate, with the session's callback for its
// direction; a refused rate or channel count is RateRefused.
std::optional<SessionResult> openStream(const OpenRequest& open, Shared& shared, StreamHandle& handle);
std::optional<SessionResult> startStream(StreamHandle& handle, const char* role);

}  // namespace auralyn::audio
