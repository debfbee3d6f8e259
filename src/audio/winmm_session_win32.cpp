// One play-and-record session through WinMM: a waveIn and a waveOut device, each
// with a small set of buffers that the caller's thread rotates by polling their
// WHDR_DONE flags, so that no thread of ours runs beside WinMM's own. The output
// is primed while paused (the lead's silence, then the sweep) and restarted once
// the input has returned its first buffer, so that the sweep begins `leadSeconds`
// into the recording without a device starting in the middle.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>

#include "audio/audio_session.h"
#include "audio/session_parts.h"
#include "audio/winmm_open_win32.h"
#include "audio/winmm_wave_win32.h"

namespace auralyn::audio {

namespace {

using Clock = std::chrono::steady_clock;

// Beyond the stall time, how long a device may take to return its first buffer.
constexpr double kStartupSeconds = 3.0;
// Beyond one input buffer, what the last played sample may take to reach the input.
constexpr double kDriverSeconds = 0.1;
constexpr DWORD kPollMilliseconds = 5;
constexpr auto kReportInterval = std::chrono::milliseconds(50);

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Sleep() waits in steps of the system timer, 15.6 ms unless asked for finer ones.
class FineTimer {
public:
    FineTimer() : granted_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~FineTimer() {
        if (granted_) {
            timeEndPeriod(1);
        }
    }
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;

private:
    bool granted_;
};

class Session {
public:
    Session(const SessionRequest& request, const ProgressObserver& observer, WaveStream& input, WaveStream& output,
            int outputChannels)
        : request_(request), observer_(observer), plan_(planSession(request)), input_(input), output_(output),
          outputChannels_(outputChannels) {
        const std::uint64_t rate = static_cast<std::uint64_t>(request.sampleRate);
        tailExtraFrames_ = input.framesPerBuffer() + static_cast<std::uint64_t>(std::llround(kDriverSeconds * rate));
        maxFrames_ = plan_.playFrames() + plan_.tailFrames + tailExtraFrames_ + rate;
        result_.channels = request.inputChannels;
        result_.sampleRate = request.sampleRate;
        result_.frames.reserve(maxFrames_ * static_cast<std::uint64_t>(request.inputChannels));
    }

    SessionResult run() {
        if (auto failed = prime()) {
            return stop(SessionStatus::DeviceError, *failed);
        }
        if (auto failed = awaitInput()) {
            return stop(SessionStatus::DeviceStopped, *failed);
        }
        if (const MMRESULT restarted = output_.start(); restarted != MMSYSERR_NOERROR) {
            return stop(SessionStatus::DeviceError,
                        "the output device did not start: " + waveErrorText(restarted, false));
        }
        const Clock::time_point start = Clock::now();
        const double patience = totalSeconds() * 1.5 + request_.stallSeconds + 5.0;
        Clock::time_point lastReport = start;
        while (!endKnown_ || recordedFrames() < targetFrames_) {
            if (auto failed = collectInput()) {
                return stop(SessionStatus::DeviceStopped, *failed);
            }
            if (auto failed = refillOutput()) {
                return stop(SessionStatus::DeviceStopped, *failed);
            }
            if (request_.cancel != nullptr && request_.cancel->load()) {
                return stop(SessionStatus::Cancelled, "cancelled: the recording ends here");
            }
            if (auto failed = deviceFailure(secondsSince(start) > patience)) {
                return stop(SessionStatus::DeviceStopped, *failed);
            }
            if (observer_ && Clock::now() - lastReport >= kReportInterval) {
                report();
                lastReport = Clock::now();
            }
            Sleep(kPollMilliseconds);
        }
        output_.close();
        input_.close();
        if (observer_) {
            report();
        }
        finishRecording(result_, targetFrames_, counters());
        return std::move(result_);
    }

private:
    std::uint64_t recordedFrames() const { return result_.frames.size() / request_.inputChannels; }
    double totalSeconds() const {
        return static_cast<double>(plan_.playFrames() + plan_.tailFrames + tailExtraFrames_) / request_.sampleRate;
    }

    // The output, paused, gets every buffer it can hold; the input gets all of its own and starts.
    std::optional<std::string> prime() {
        if (const MMRESULT paused = output_.pause(); paused != MMSYSERR_NOERROR) {
            return "the output device cannot be paused: " + waveErrorText(paused, false);
        }
        for (std::size_t i = 0; i < output_.bufferCount() && queuedFrames_ < plan_.playFrames(); ++i) {
            if (auto failed = fillAndSubmit(i)) {
                return failed;
            }
        }
        for (std::size_t i = 0; i < input_.bufferCount(); ++i) {
            if (const MMRESULT added = input_.submit(i); added != MMSYSERR_NOERROR) {
                return "the input device refused a buffer: " + waveErrorText(added, true);
            }
        }
        if (const MMRESULT started = input_.start(); started != MMSYSERR_NOERROR) {
            return "the input device did not start: " + waveErrorText(started, true);
        }
        return std::nullopt;
    }

    // A sound server may take a couple of seconds to start an idle device; the lead counts from the input.
    std::optional<std::string> awaitInput() {
        const Clock::time_point start = Clock::now();
        while (!input_.done(0)) {
            if (request_.cancel != nullptr && request_.cancel->load()) {
                return std::nullopt;
            }
            if (secondsSince(start) > request_.stallSeconds + kStartupSeconds) {
                return "the input device delivered nothing after it started";
            }
            Sleep(kPollMilliseconds);
        }
        inputWatch_ = StallWatch{};
        outputWatch_ = StallWatch{};
        return std::nullopt;
    }

    std::int16_t sourceSample(std::uint64_t frame) const {
        if (frame < plan_.leadFrames || frame >= plan_.playFrames()) {
            return 0;  // the lead, and the padding of the last buffer
        }
        return request_.sweep[frame - plan_.leadFrames];
    }

    std::optional<std::string> fillAndSubmit(std::size_t buffer) {
        const std::span<std::int16_t> samples = output_.samples(buffer);
        const std::size_t channels = static_cast<std::size_t>(outputChannels_);
        for (std::size_t i = 0; i < output_.framesPerBuffer(); ++i) {
            writeMappedFrame(sourceSample(queuedFrames_ + i), request_.outputChannels, outputChannels_,
                             samples.data() + i * channels);
        }
        queuedFrames_ = std::min<std::uint64_t>(plan_.playFrames(), queuedFrames_ + output_.framesPerBuffer());
        if (const MMRESULT written = output_.submit(buffer); written != MMSYSERR_NOERROR) {
            return "the output device stopped taking samples: " + waveErrorText(written, false);
        }
        return std::nullopt;
    }

    static std::size_t doneCount(WaveStream& stream) {
        std::size_t done = 0;
        for (std::size_t i = 0; i < stream.bufferCount(); ++i) {
            done += stream.queued(i) && stream.done(i) ? 1 : 0;
        }
        return done;
    }

    // Keeps what a returned buffer holds; frames beyond the longest possible session are not kept.
    void keep(std::span<const std::int16_t> codes) {
        const std::vector<float> samples(codes.begin(), codes.end());
        meter_.add(samples);
        const std::uint64_t limit = maxFrames_ * static_cast<std::uint64_t>(request_.inputChannels);
        const std::uint64_t kept = std::min<std::uint64_t>(limit, result_.frames.size());
        const std::size_t room = static_cast<std::size_t>(limit - kept);
        result_.frames.insert(result_.frames.end(), samples.begin(), samples.begin() + std::min(room, samples.size()));
    }

    // Takes the returned input buffers in the order WinMM fills them, and hands them back.
    std::optional<std::string> collectInput() {
        // Every buffer back at once: the device had nowhere to put what it recorded meanwhile.
        inputOverflow_ = inputOverflow_ || doneCount(input_) == input_.bufferCount();
        while (input_.queued(nextInput_) && input_.done(nextInput_)) {
            const std::span<const std::int16_t> recorded = input_.recorded(nextInput_);
            keep(recorded);
            noteInputTimes(recorded.size() / static_cast<std::size_t>(request_.inputChannels));
            input_.markReturned(nextInput_);
            if (const MMRESULT added = input_.submit(nextInput_); added != MMSYSERR_NOERROR) {
                return "the input device stopped taking buffers (unplugged?): " + waveErrorText(added, true);
            }
            nextInput_ = (nextInput_ + 1) % input_.bufferCount();
        }
        return std::nullopt;
    }

    void noteInputTimes(std::size_t frames) {
        ++inputReturns_;
        capturedFrames_ += frames;
        lastInput_ = Clock::now();
        if (inputReturns_ == 1) {
            firstInput_ = lastInput_;
            firstInputFrames_ = capturedFrames_;
        }
    }

    // Refills the returned output buffers while the lead and sweep last; notes when the last one is back.
    std::optional<std::string> refillOutput() {
        const bool allBack = doneCount(output_) == output_.bufferCount();
        outputUnderflow_ = outputUnderflow_ || (allBack && queuedFrames_ < plan_.playFrames());
        while (output_.queued(nextOutput_) && output_.done(nextOutput_)) {
            output_.markReturned(nextOutput_);
            ++outputReturns_;
            if (queuedFrames_ < plan_.playFrames()) {
                if (auto failed = fillAndSubmit(nextOutput_)) {
                    return failed;
                }
            }
            nextOutput_ = (nextOutput_ + 1) % output_.bufferCount();
        }
        if (!endKnown_ && queuedFrames_ >= plan_.playFrames() && queuedCount(output_) == 0) {
            endKnown_ = true;
            // The last buffer has been played; the input holds it within one buffer and the driver's delay.
            targetFrames_ = recordedFrames() + plan_.tailFrames + tailExtraFrames_;
        }
        return std::nullopt;
    }

    static std::size_t queuedCount(const WaveStream& stream) {
        std::size_t queued = 0;
        for (std::size_t i = 0; i < stream.bufferCount(); ++i) {
            queued += stream.queued(i) ? 1 : 0;
        }
        return queued;
    }

    std::optional<std::string> deviceFailure(bool overdue) {
        if (inputWatch_.stalled(inputReturns_, request_.stallSeconds)) {
            return "the input device stopped delivering samples (unplugged?)";
        }
        if (!endKnown_ && outputWatch_.stalled(outputReturns_, request_.stallSeconds)) {
            return "the output device stopped taking samples (unplugged?)";
        }
        if (overdue) {
            return "the devices deliver far slower than their sample rate";
        }
        return std::nullopt;
    }

    // Stops playback at once, keeps what the input had recorded, closes both devices.
    SessionResult stop(SessionStatus status, std::string message) {
        output_.reset();
        input_.reset();
        while (input_.queued(nextInput_) && input_.done(nextInput_)) {
            keep(input_.recorded(nextInput_));
            input_.markReturned(nextInput_);
            nextInput_ = (nextInput_ + 1) % input_.bufferCount();
        }
        output_.close();
        input_.close();
        result_.status = status;
        result_.message = std::move(message);
        return std::move(result_);
    }

    void report() {
        SessionProgress progress;
        progress.secondsTotal = totalSeconds();
        progress.secondsDone =
            std::min(progress.secondsTotal, static_cast<double>(recordedFrames()) / request_.sampleRate);
        progress.inputPeakDbfs = meter_.takeDbfs();
        progress.inputClipped = meter_.takeClipped();
        const std::uint64_t played = outputReturns_ * output_.framesPerBuffer();
        progress.playing = played > plan_.leadFrames && played < plan_.playFrames();
        observer_(progress);
    }

    SessionCounters counters() const {
        SessionCounters counters;
        const double seconds = std::chrono::duration<double>(lastInput_ - firstInput_).count();
        counters.clockShortFrames = clockShortfall(seconds, capturedFrames_ - firstInputFrames_, request_.sampleRate);
        counters.inputOverflow = inputOverflow_;
        counters.outputUnderflow = outputUnderflow_;
        return counters;
    }

    const SessionRequest& request_;
    const ProgressObserver& observer_;
    const SessionPlan plan_;
    WaveStream& input_;
    WaveStream& output_;
    const int outputChannels_;
    std::uint64_t tailExtraFrames_ = 0;
    std::uint64_t maxFrames_ = 0;
    std::uint64_t queuedFrames_ = 0;
    std::uint64_t targetFrames_ = 0;
    bool endKnown_ = false;
    std::size_t nextInput_ = 0;
    std::size_t nextOutput_ = 0;
    std::uint64_t inputReturns_ = 0;
    std::uint64_t outputReturns_ = 0;
    std::uint64_t capturedFrames_ = 0;
    std::uint64_t firstInputFrames_ = 0;
    Clock::time_point firstInput_{};
    Clock::time_point lastInput_{};
    bool inputOverflow_ = false;
    bool outputUnderflow_ = false;
    PeakMeter meter_;
    StallWatch inputWatch_;
    StallWatch outputWatch_;
    SessionResult result_;
};

}  // namespace

SessionResult playAndRecord(const SessionRequest& request, const ProgressObserver& observer) {
    if (auto refused = checkRequest(request)) {
        return *refused;
    }
    // WinMM's wave input is opened as 16-bit PCM here.
    if (request.capture != CaptureFormat::Int16) {
        return failure(SessionStatus::BadRequest, "this build records 16-bit samples only");
    }
    const WaveLookup outputDevice = findWaveDevice(request.outputDevice, false);
    if (!outputDevice.device) {
        return failure(SessionStatus::NoSuchDevice, outputDevice.error);
    }
    const WaveLookup inputDevice = findWaveDevice(request.inputDevice, true);
    if (!inputDevice.device) {
        return failure(SessionStatus::NoSuchDevice, inputDevice.error);
    }
    const int outputChannels = outputChannelsFor(request.outputChannels, outputDevice.device->channels);
    if (outputChannels == 0) {
        return failure(SessionStatus::RateRefused,
                       describeWaveDevice(*outputDevice.device, false) + " has no right channel");
    }
    WaveStream input(true);
    WaveStream output(false);
    if (auto failed = openWaveDirection(input, *inputDevice.device, true, request.inputChannels, request.sampleRate)) {
        return *failed;
    }
    if (auto failed = openWaveDirection(output, *outputDevice.device, false, outputChannels, request.sampleRate)) {
        return *failed;
    }
    const FineTimer timer;
    Session session(request, observer, input, output, outputChannels);
    return session.run();
}

}  // namespace auralyn::audio
