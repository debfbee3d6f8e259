#include "audio/session_parts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace auralyn::audio {

SessionResult failure(SessionStatus status, std::string message) {
    SessionResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

std::optional<SessionResult> checkRequest(const SessionRequest& request) {
    if (request.sweep.empty()) {
        return failure(SessionStatus::BadRequest, "there is no sweep to play");
    }
    if (request.inputChannels < 1 || request.inputChannels > 64) {
        return failure(SessionStatus::BadRequest,
                       "cannot capture " + std::to_string(request.inputChannels) + " input channels");
    }
    // Above 1 MHz no sound device exists; the limit keeps the buffers bounded.
    if (request.sampleRate < 1 || request.sampleRate > 1000000) {
        return failure(SessionStatus::RateRefused,
                       "a sample rate of " + std::to_string(request.sampleRate) + " Hz is not possible");
    }
    const bool timesValid = request.leadSeconds >= 0.0 && request.leadSeconds <= 60.0 &&
                            request.tailSeconds >= 0.0 && request.tailSeconds <= 60.0 &&
                            request.stallSeconds > 0.0 && request.stallSeconds <= 60.0;
    if (!timesValid) {
        return failure(SessionStatus::BadRequest, "the lead, tail or stall time is out of range");
    }
    return std::nullopt;
}

SessionPlan planSession(const SessionRequest& request) {
    const double rate = request.sampleRate;
    SessionPlan plan;
    plan.leadFrames = static_cast<std::uint64_t>(std::llround(request.leadSeconds * rate));
    plan.sweepFrames = request.sweep.size();
    plan.tailFrames = static_cast<std::uint64_t>(std::llround(request.tailSeconds * rate));
    std::size_t first = 0;
    while (first < request.sweep.size() && request.sweep[first] == 0) {
        ++first;
    }
    std::size_t last = request.sweep.size();
    while (last > first && request.sweep[last - 1] == 0) {
        --last;
    }
    plan.soundBegin = plan.leadFrames + first;
    plan.soundEnd = plan.leadFrames + last;
    return plan;
}

int outputChannelsFor(OutputChannels mapping, int deviceChannels) {
    if (deviceChannels < 1) {
        return 0;
    }
    if (mapping == OutputChannels::Right) {
        return deviceChannels >= 2 ? 2 : 0;
    }
    return std::min(deviceChannels, 2);
}

void PeakMeter::add(std::span<const float> samples) {
    for (const float sample : samples) {
        const float magnitude = std::fabs(sample);
        peak_ = std::max(peak_, magnitude);
        clipped_ = clipped_ || sample >= 32767.0f || sample <= -32768.0f;
    }
}

double PeakMeter::takeDbfs() {
    const float peak = peak_;
    peak_ = 0.0f;
    return peak == 0.0f ? -200.0 : 20.0 * std::log10(peak / 32767.0);
}

bool PeakMeter::takeClipped() {
    const bool clipped = clipped_;
    clipped_ = false;
    return clipped;
}

bool allZero(std::span<const float> samples) {
    return std::all_of(samples.begin(), samples.end(), [](float s) { return s == 0.0f; });
}

bool StallWatch::stalled(std::uint64_t count, double limitSeconds) {
    const auto now = std::chrono::steady_clock::now();
    if (count != lastCount_) {
        lastCount_ = count;
        lastChange_ = now;
    }
    return std::chrono::duration<double>(now - lastChange_).count() > limitSeconds;
}

std::uint64_t clockShortfall(double seconds, std::uint64_t deliveredFrames, int sampleRate) {
    if (seconds < 1.0) {
        return 0;
    }
    const double delivered = static_cast<double>(deliveredFrames);
    const double expected = seconds * sampleRate;
    // Devices deliver in bursts of a period or more, and clocks differ by parts per thousand.
    const double tolerance = 0.02 * expected + 0.25 * sampleRate;
    return expected - delivered > tolerance ? static_cast<std::uint64_t>(expected - delivered) : 0;
}

namespace {

std::string lossMessage(const SessionCounters& counters) {
    if (counters.inputOverflow) {
        return "the input overflowed: samples were lost";
    }
    if (counters.droppedFrames > 0) {
        return std::to_string(counters.droppedFrames) + " recorded frames were lost (not read in time)";
    }
    if (counters.outputUnderflow || counters.starvedSamples > 0) {
        return "the output ran dry while playing the sweep: the sweep has a gap";
    }
    return "the input delivered " + std::to_string(counters.clockShortFrames) +
           " frames fewer than its clock says: samples were lost";
}

}  // namespace

void judgeRecording(SessionResult& result, const SessionCounters& counters) {
    const bool lost = counters.inputOverflow || counters.outputUnderflow || counters.droppedFrames > 0 ||
                      counters.starvedSamples > 0 || counters.clockShortFrames > 0;
    result.lostFrames = counters.droppedFrames + counters.clockShortFrames;
    if (lost) {
        result.status = SessionStatus::LostSamples;
        result.message = lossMessage(counters);
        return;
    }
    if (allZero(result.frames)) {
        result.status = SessionStatus::SilentInput;
        result.message = "the input delivered only silence (every sample is zero)";
        return;
    }
    result.status = SessionStatus::Complete;
    result.message = "recorded " + std::to_string(result.frames.size() / std::max(result.channels, 1)) + " frames";
}

void finishRecording(SessionResult& result, std::uint64_t targetFrames, const SessionCounters& counters) {
    const std::uint64_t channels = static_cast<std::uint64_t>(std::max(result.channels, 1));
    result.frames.resize(std::min<std::uint64_t>(result.frames.size(), targetFrames * channels));
    judgeRecording(result, counters);
}

// The statuses' names in the order of their enumerators: the assertion below
// fails to compile when an enumerator is added without its name.
constexpr std::array<const char*, 9> kStatusNames = {
    "complete",     "cancelled",      "no such device", "rate refused", "silent input",
    "lost samples", "device stopped", "device error",   "bad request",
};
static_assert(kStatusNames.size() == static_cast<std::size_t>(SessionStatus::BadRequest) + 1,
              "every session status needs a name, and BadRequest stays the last");

std::string describe(SessionStatus status) {
    const auto index = static_cast<std::size_t>(status);
    return index < kStatusNames.size() ? kStatusNames[index] : "unknown";
}

}  // namespace auralyn::audio
