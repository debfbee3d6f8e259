// One play-and-record session through PortAudio: an input stream and an output
// stream, each driven by PortAudio's own callback thread, and the caller's
// thread in between, which fills the playback ring (the lead's silence, then
// the sweep), empties the recording ring, reports progress and watches for
// cancellation and for devices that stop. The output starts once the input
// delivers, and plays the lead's silence first, so the sweep begins
// `leadSeconds` into the recording without a device starting in the middle.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "audio/audio_session.h"
#include "audio/portaudio_parts.h"
#include "audio/portaudio_streams.h"

namespace auralyn::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Beyond the stall time, how long a device may take to deliver its first samples.
constexpr double kStartupSeconds = 3.0;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Session {
public:
    Session(const SessionRequest& request, const ProgressObserver& observer, const SessionPlan& plan,
            Shared& shared, double latencySeconds)
        : request_(request), observer_(observer), plan_(plan), shared_(shared),
          latencyFrames_(static_cast<std::uint64_t>(std::ceil(latencySeconds * request.sampleRate))) {
        const std::uint64_t longest = plan.playFrames() + plan.tailFrames + latencyFrames_ + request.sampleRate;
        maxFrames_ = longest;
        result_.channels = request.inputChannels;
        result_.sampleRate = request.sampleRate;
        result_.frames.reserve(longest * static_cast<std::uint64_t>(request.inputChannels));
    }

    // Fills the playback ring before the output starts, so that its first callback finds samples.
    void prime() { queuePlayback(); }

    // Waits for the input's first samples: a sound server may take a couple of
    // seconds to start a sink that was idle, and the lead counts from the input.
    std::optional<std::string> awaitInput(const StreamHandle& input) {
        const Clock::time_point start = Clock::now();
        while (shared_.inputCallbacks.load(std::memory_order_acquire) == 0) {
            if (request_.cancel != nullptr && request_.cancel->load()) {
                return std::nullopt;
            }
            if (secondsSince(start) > request_.stallSeconds + kStartupSeconds || pa().isStreamActive(input.stream) != 1) {
                return "the input device delivered nothing after it started";
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        inputWatch_ = StallWatch{};
        outputWatch_ = StallWatch{};
        return std::nullopt;
    }

    // Runs until the tail is recorded, the caller cancels or a device fails.
    SessionResult run(StreamHandle& input, StreamHandle& output) {
        if (auto failure = awaitInput(input)) {
            return stop(input, output, SessionStatus::DeviceStopped, *failure);
        }
        if (auto failed = startStream(output, "output")) {
            output.close();
            input.close();
            return *failed;
        }
        const Clock::time_point start = Clock::now();
        const double patience = totalSeconds() * 1.5 + request_.stallSeconds + 5.0;
        Clock::time_point lastReport = start;
        while (true) {
            queuePlayback();
            drainRecording();
            if (request_.cancel != nullptr && request_.cancel->load()) {
                return stop(input, output, SessionStatus::Cancelled, "cancelled: the recording ends here");
            }
            noteEndOfSweep();
            if (endKnown_ && recordedFrames() >= targetFrames_) {
                break;
            }
            if (auto failure = deviceFailure(input, output, secondsSince(start) > patience)) {
                return stop(input, output, SessionStatus::DeviceStopped, *failure);
            }
            if (observer_ && Clock::now() - lastReport >= std::chrono::milliseconds(50)) {
                report();
                lastReport = Clock::now();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        output.close();
        input.close();
        drainRecording();
        if (observer_) {
            report();
        }
        finishRecording(result_, targetFrames_, counters());
        return std::move(result_);
    }

private:
    std::uint64_t recordedFrames() const { return result_.frames.size() / request_.inputChannels; }
    double totalSeconds() const {
        return static_cast<double>(plan_.playFrames() + plan_.tailFrames + latencyFrames_) / request_.sampleRate;
    }

    std::int16_t sourceSample(std::uint64_t frame) const {
        return frame < plan_.leadFrames ? std::int16_t{0} : request_.sweep[frame - plan_.leadFrames];
    }

    void queuePlayback() {
        std::array<std::int16_t, 4096> chunk{};
        while (queuedFrames_ < plan_.playFrames()) {
            const std::size_t count = std::min<std::uint64_t>(
                {chunk.size(), shared_.playRing.freeSpace(), plan_.playFrames() - queuedFrames_});
            if (count == 0) {
                return;
            }
            for (std::size_t i = 0; i < count; ++i) {
                chunk[i] = sourceSample(queuedFrames_ + i);
            }
            queuedFrames_ += shared_.playRing.push(std::span(chunk.data(), count));
        }
    }

    void drainRecording() {
        std::array<float, 8192> chunk{};
        const std::size_t channels = static_cast<std::size_t>(request_.inputChannels);
        const std::size_t wholeFrames = chunk.size() / channels * channels;
        while (true) {
            const std::size_t got = shared_.recordRing.pop(std::span(chunk.data(), wholeFrames));
            const std::span<const float> samples(chunk.data(), got);
            meter_.add(samples);
            // Frames beyond the longest possible session are not kept: memory stays bounded.
            const std::size_t room = maxFrames_ * channels - std::min(maxFrames_ * channels, result_.frames.size());
            result_.frames.insert(result_.frames.end(), samples.begin(), samples.begin() + std::min(room, got));
            if (got < wholeFrames) {
                return;
            }
        }
    }

    void noteEndOfSweep() {
        if (!endKnown_ && shared_.playedFrames.load(std::memory_order_acquire) >= plan_.playFrames()) {
            endKnown_ = true;
            // The last sample reaches the input after both latencies; the tail starts there.
            // An output that buffers more than it reports takes the whole sweep
            // early, but the input, started with it, cannot hear the sweep's end
            // before it has recorded the sweep's length.
            targetFrames_ = std::max(recordedFrames(), plan_.playFrames()) + latencyFrames_ + plan_.tailFrames;
        }
    }

    std::optional<std::string> deviceFailure(StreamHandle& input, StreamHandle& output, bool overdue) {
        if (inputWatch_.stalled(shared_.inputCallbacks.load(std::memory_order_acquire), request_.stallSeconds) ||
            pa().isStreamActive(input.stream) != 1) {
            return "the input device stopped delivering samples (unplugged?)";
        }
        const bool outputStalled =
            outputWatch_.stalled(shared_.outputCallbacks.load(std::memory_order_acquire), request_.stallSeconds);
        if (!endKnown_ && (outputStalled || pa().isStreamActive(output.stream) != 1)) {
            return "the output device stopped taking samples (unplugged?)";
        }
        if (overdue) {
            return "the devices deliver far slower than their sample rate";
        }
        return std::nullopt;
    }

    SessionResult stop(StreamHandle& input, StreamHandle& output, SessionStatus status, std::string message) {
        output.close();
        input.close();
        drainRecording();
        result_.status = status;
        result_.message = std::move(message);
        result_.lostFrames = shared_.droppedFrames.load();
        return std::move(result_);
    }

    void report() {
        SessionProgress progress;
        progress.secondsTotal = totalSeconds();
        progress.secondsDone = std::min(progress.secondsTotal, static_cast<double>(recordedFrames()) / request_.sampleRate);
        progress.inputPeakDbfs = meter_.takeDbfs();
        progress.inputClipped = meter_.takeClipped();
        const std::uint64_t played = shared_.playedFrames.load(std::memory_order_acquire);
        progress.playing = played > plan_.leadFrames && played < plan_.playFrames();
        observer_(progress);
    }

    // Frames the input's clock says it should have delivered beyond what it did.
    std::uint64_t clockShortfallFrames() const {
        const double seconds = (shared_.lastInputNs.load() - shared_.firstInputNs.load()) * 1e-9;
        return clockShortfall(seconds, shared_.capturedFrames.load() - shared_.firstInputFrames.load(),
                              request_.sampleRate);
    }

    SessionCounters counters() const {
        SessionCounters counters;
        counters.droppedFrames = shared_.droppedFrames.load();
        counters.starvedSamples = shared_.starvedSamples.load();
        counters.clockShortFrames = clockShortfallFrames();
        counters.inputOverflow = shared_.inputOverflow.load();
        counters.outputUnderflow = shared_.outputUnderflow.load();
        return counters;
    }

    const SessionRequest& request_;
    const ProgressObserver& observer_;
    const SessionPlan plan_;
    Shared& shared_;
    const std::uint64_t latencyFrames_;
    std::uint64_t maxFrames_ = 0;
    std::uint64_t queuedFrames_ = 0;
    std::uint64_t targetFrames_ = 0;
    bool endKnown_ = false;
    PeakMeter meter_;
    StallWatch inputWatch_;
    StallWatch outputWatch_;
    SessionResult result_;
};

double streamLatency(const StreamHandle& input, const StreamHandle& output) {
    const PaStreamInfo* in = pa().getStreamInfo(input.stream);
    const PaStreamInfo* out = pa().getStreamInfo(output.stream);
    return (in != nullptr ? in->inputLatency : 0.0) + (out != nullptr ? out->outputLatency : 0.0);
}

}  // namespace

SessionResult playAndRecord(const SessionRequest& request, const ProgressObserver& observer) {
    if (auto refused = checkRequest(request)) {
        return *refused;
    }
    PortAudioLibrary library;
    if (!library.ok()) {
        return failure(SessionStatus::DeviceError, library.errorText());
    }
    const DeviceLookup outputDevice = findDevice(request.outputDevice, false);
    if (outputDevice.index == paNoDevice) {
        return failure(SessionStatus::NoSuchDevice, outputDevice.error);
    }
    const DeviceLookup inputDevice = findDevice(request.inputDevice, true);
    if (inputDevice.index == paNoDevice) {
        return failure(SessionStatus::NoSuchDevice, inputDevice.error);
    }
    const int deviceOutputs = pa().getDeviceInfo(outputDevice.index)->maxOutputChannels;
    const int outputChannels = outputChannelsFor(request.outputChannels, deviceOutputs);
    if (outputChannels == 0) {
        return failure(SessionStatus::RateRefused, "the output device \"" + deviceName(outputDevice.index) +
                                                       "\" has no right channel");
    }
    const SessionPlan plan = planSession(request);
    const bool floatInput = request.capture != CaptureFormat::Int16;
    Shared shared(plan, request.sampleRate, outputChannels, request.outputChannels, request.inputChannels, floatInput);
    StreamHandle input;
    StreamHandle output;
    if (auto failed = openStream({inputDevice.index, true, request.inputChannels, request.sampleRate, floatInput}, shared,
                                 input)) {
        return *failed;
    }
    if (auto failed = openStream({outputDevice.index, false, outputChannels, request.sampleRate}, shared, output)) {
        return *failed;
    }
    Session session(request, observer, plan, shared, streamLatency(input, output));
    session.prime();
    if (auto failed = startStream(input, "input")) {
        return *failed;
    }
    return session.run(input, output);
}

}  // namespace auralyn::audio
