#pragma once

// The parts of a play-and-record session that do not depend on the system's
// audio interface: checking the request, the plan in frames, the level meter,
// the output channel mapping and the verdict on the finished recording.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "audio/audio_session.h"

namespace auralyn::audio {

std::optional<SessionResult> checkRequest(const SessionRequest& request);

struct SessionPlan {
    std::uint64_t leadFrames = 0;
    std::uint64_t sweepFrames = 0;
    std::uint64_t tailFrames = 0;
    // The played frames from the sweep's first sound to its last: silence in
    // the sweep's own lead-in and end may be stretched by an output that ran
    // dry without harm (the analysis keys on the pulse), its sound may not.
    std::uint64_t soundBegin = 0;
    std::uint64_t soundEnd = 0;
    std::uint64_t playFrames() const { return leadFrames + sweepFrames; }
};
SessionPlan planSession(const SessionRequest& request);

// Output channels needed for a mapping (Right needs two; Left and Both work on one).
int outputChannelsFor(OutputChannels mapping, int deviceChannels);

// Writes one mono sample into an interleaved output frame of `channels` channels.
inline void writeMappedFrame(std::int16_t sample, OutputChannels mapping, int channels, std::int16_t* frame) {
    for (int c = 0; c < channels; ++c) {
        const bool wanted = mapping == OutputChannels::Both || (mapping == OutputChannels::Left && c == 0) ||
                            (mapping == OutputChannels::Right && c == 1);
        frame[c] = wanted ? sample : std::int16_t{0};
    }
}

// Peak level of the samples seen since the last take, for the caller's meter.
class PeakMeter {
public:
    void add(std::span<const float> samples);  // in 16-bit units
    double takeDbfs();  // relative to full scale 32767; -200 for nothing but zeros
    bool takeClipped();

private:
    float peak_ = 0.0f;
    bool clipped_ = false;
};

bool allZero(std::span<const float> samples);

// What the audio side counted while the session ran.
struct SessionCounters {
    std::uint64_t droppedFrames = 0;     // capture frames with no room in the ring
    std::uint64_t starvedSamples = 0;    // playback samples the ring did not have in time
    std::uint64_t clockShortFrames = 0;  // frames the input delivered fewer than its clock says
    bool inputOverflow = false;
    bool outputUnderflow = false;
};

// Watches a counter that a working device keeps advancing (callbacks, returned
// buffers); one that stands still longer than the limit is a device gone.
class StallWatch {
public:
    bool stalled(std::uint64_t count, double limitSeconds);

private:
    std::uint64_t lastCount_ = 0;
    std::chrono::steady_clock::time_point lastChange_ = std::chrono::steady_clock::now();
};

// Frames that an input's delivery over `seconds` of wall clock falls short of its
// sample rate by more than burstiness and clock differences explain; else 0.
std::uint64_t clockShortfall(double seconds, std::uint64_t deliveredFrames, int sampleRate);

// Turns a recording that ran to its end into Complete, LostSamples or SilentInput.
void judgeRecording(SessionResult& result, const SessionCounters& counters);

// Cuts a finished recording to `targetFrames` (what came after the tail is not the
// session's) and judges it.
void finishRecording(SessionResult& result, std::uint64_t targetFrames, const SessionCounters& counters);

SessionResult failure(SessionStatus status, std::string message);

}  // namespace auralyn::audio
