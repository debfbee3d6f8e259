// The session's refusals that need no sound server, and its platform-independent parts.
#include <gtest/gtest.h>

#include <cmath>

#include <cstdint>
#include <vector>

#include "audio/audio_session.h"
#include "audio/session_parts.h"

namespace auralyn::audio {
namespace {

SessionRequest requestFor(const std::vector<std::int16_t>& sweep) {
    SessionRequest request;
    request.sweep = sweep;
    return request;
}

TEST(SessionRefusals, NamesTheDeviceThatDoesNotExist) {
    const std::vector<std::int16_t> sweep(480, 100);
    SessionRequest request = requestFor(sweep);
    request.outputDevice = "no device is called this";
    const SessionResult result = playAndRecord(request);
    EXPECT_EQ(result.status, SessionStatus::NoSuchDevice) << result.message;
    EXPECT_NE(result.message.find("no device is called this"), std::string::npos) << result.message;
    EXPECT_TRUE(result.frames.empty());
}

TEST(SessionRefusals, RefusesAbsurdRatesAndEmptyRequests) {
    const std::vector<std::int16_t> sweep(480, 100);
    for (const int rate : {0, -48000, 5'000'000}) {
        SessionRequest request = requestFor(sweep);
        request.sampleRate = rate;
        EXPECT_EQ(playAndRecord(request).status, SessionStatus::RateRefused) << rate;
    }
    EXPECT_EQ(playAndRecord(requestFor({})).status, SessionStatus::BadRequest);
    SessionRequest noChannels = requestFor(sweep);
    noChannels.inputChannels = 0;
    EXPECT_EQ(playAndRecord(noChannels).status, SessionStatus::BadRequest);
}

TEST(SessionParts, MapsTheMonoSweepToTheChosenChannels) {
    std::int16_t frame[2] = {9, 9};
    writeMappedFrame(7, OutputChannels::Left, 2, frame);
    EXPECT_EQ(frame[0], 7);
    EXPECT_EQ(frame[1], 0);
    writeMappedFrame(7, OutputChannels::Right, 2, frame);
    EXPECT_EQ(frame[0], 0);
    EXPECT_EQ(frame[1], 7);
    writeMappedFrame(7, OutputChannels::Both, 2, frame);
    EXPECT_EQ(frame[0], 7);
    EXPECT_EQ(frame[1], 7);
    EXPECT_EQ(outputChannelsFor(OutputChannels::Right, 1), 0);
    EXPECT_EQ(outputChannelsFor(OutputChannels::Left, 1), 1);
    EXPECT_EQ(outputChannelsFor(OutputChannels::Both, 8), 2);
}

TEST(SessionParts, MetersPeaksAndClipping) {
    PeakMeter meter;
    const std::vector<float> half{0, -16384, 100};
    meter.add(half);
    EXPECT_NEAR(meter.takeDbfs(), -6.02, 0.01);
    EXPECT_FALSE(meter.takeClipped());
    EXPECT_EQ(meter.takeDbfs(), -200.0);
    const std::vector<float> clipped{-32768};
    meter.add(clipped);
    EXPECT_TRUE(meter.takeClipped());
    EXPECT_NEAR(meter.takeDbfs(), 20.0 * std::log10(32768.0 / 32767.0), 1e-9);
    // A deeper capture's fraction counts: just below the top code is no clip.
    const std::vector<float> fine{32766.5f, -0.25f};
    meter.add(fine);
    EXPECT_FALSE(meter.takeClipped());
    EXPECT_NEAR(meter.takeDbfs(), 20.0 * std::log10(32766.5 / 32767.0), 1e-6);
}

TEST(SessionParts, JudgesLossBeforeSilence) {
    SessionResult result;
    result.channels = 1;
    result.frames.assign(100, 0);
    judgeRecording(result, {});
    EXPECT_EQ(result.status, SessionStatus::SilentInput);
    SessionCounters lost;
    lost.droppedFrames = 5;
    judgeRecording(result, lost);
    EXPECT_EQ(result.status, SessionStatus::LostSamples);
    EXPECT_EQ(result.lostFrames, 5u);
    SessionCounters overflow;
    overflow.inputOverflow = true;
    result.frames[3] = 1;
    judgeRecording(result, overflow);
    EXPECT_EQ(result.status, SessionStatus::LostSamples);
    EXPECT_NE(result.message.find("overflow"), std::string::npos);
    judgeRecording(result, {});
    EXPECT_EQ(result.status, SessionStatus::Complete);
}

TEST(SessionParts, FinishingCutsTheRecordingAtTheTailAndJudgesIt) {
    SessionResult result;
    result.channels = 2;
    result.frames = {0, 0, 5, -5, 7, 7};
    finishRecording(result, 2, {});
    EXPECT_EQ(result.frames, (std::vector<float>{0, 0, 5, -5}));
    EXPECT_EQ(result.status, SessionStatus::Complete);
    finishRecording(result, 10, {});  // a short recording is kept whole
    EXPECT_EQ(result.frames.size(), 4u);
    finishRecording(result, 1, {});  // what is left is silence
    EXPECT_EQ(result.status, SessionStatus::SilentInput);
}

TEST(SessionParts, NamesEveryStatusApart) {
    EXPECT_EQ(describe(SessionStatus::Complete), "complete");
    EXPECT_EQ(describe(SessionStatus::LostSamples), "lost samples");
    EXPECT_EQ(describe(SessionStatus::BadRequest), "bad request");
    EXPECT_EQ(describe(static_cast<SessionStatus>(99)), "unknown");  // a value from outside, never indexed
}

}  // namespace
}  // namespace auralyn::audio
