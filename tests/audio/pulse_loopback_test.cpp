// Play-and-record through a real sound server: a null sink played into and its
// monitor recorded. What comes back is known exactly: the samples themselves at
// 100 % volume, the server's cubic volume curve at 70 %, and its resampler's
// passband when the sink runs at 44100 Hz under a 48000 Hz stream.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

#include "audio/audio_session.h"
#include "pulse_server.h"

namespace auralyn::audio {
namespace {

using testing::PulseServer;

std::vector<std::int16_t> noiseBurst(std::size_t length) {
    std::vector<std::int16_t> samples(length);
    std::uint32_t state = 12345;
    for (std::int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<std::int16_t>(static_cast<std::int32_t>(state >> 16) - 32768);
    }
    return samples;
}

std::vector<std::int16_t> steppedSine(const std::vector<double>& frequencies, double blockSeconds, int rate,
                                      double amplitude) {
    const std::size_t block = static_cast<std::size_t>(blockSeconds * rate);
    std::vector<std::int16_t> samples;
    for (const double frequency : frequencies) {
        for (std::size_t n = 0; n < block; ++n) {
            const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
            samples.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(phase))));
        }
    }
    return samples;
}

std::vector<double> channel(const SessionResult& result, int index) {
    std::vector<double> samples;
    for (std::size_t i = static_cast<std::size_t>(index); i < result.frames.size(); i += result.channels) {
        samples.push_back(result.frames[i]);
    }
    return samples;
}

// The offset at which `played` appears sample for sample in `recorded`.
std::optional<std::size_t> exactOffset(const std::vector<double>& recorded, const std::vector<std::int16_t>& played) {
    for (std::size_t offset = 0; offset + played.size() <= recorded.size(); ++offset) {
        std::size_t n = 0;
        while (n < played.size() && recorded[offset + n] == played[n]) {
            ++n;
        }
        if (n == played.size()) {
            return offset;
        }
    }
    return std::nullopt;
}

// The first sample louder than the threshold: where the signal starts.
std::size_t onset(const std::vector<double>& samples, double threshold) {
    std::size_t n = 0;
    while (n < samples.size() && std::abs(samples[n]) < threshold) {
        ++n;
    }
    return n;
}

// Least-squares gain of `recorded` over `played` at the given offset.
double fittedGain(const std::vector<double>& recorded, const std::vector<std::int16_t>& played, std::size_t offset) {
    double cross = 0.0;
    double energy = 0.0;
    for (std::size_t n = 0; n < played.size(); ++n) {
        cross += recorded[offset + n] * played[n];
        energy += static_cast<double>(played[n]) * played[n];
    }
    return cross / energy;
}

// Three-parameter sine fit at a known frequency (IEEE Std 1057, 4.1.3.1):
// the amplitude, and the RMS of what the sine does not explain.
struct SineFit {
    double amplitude;
    double residualRms;
};
SineFit fitSine(const std::vector<double>& samples, std::size_t begin, std::size_t count, double frequency, int rate) {
    double ss = 0, cc = 0, sc = 0, ys = 0, yc = 0, y = 0, s = 0, c = 0;
    for (std::size_t n = begin; n < begin + count; ++n) {
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
        const double sn = std::sin(phase);
        const double cn = std::cos(phase);
        ss += sn * sn, cc += cn * cn, sc += sn * cn, ys += samples[n] * sn, yc += samples[n] * cn;
        y += samples[n], s += sn, c += cn;
    }
    const double m = static_cast<double>(count);
    // Normal equations for a*sin + b*cos + d, solved by Cramer's rule.
    const double det = ss * (cc * m - c * c) - sc * (sc * m - c * s) + s * (sc * c - cc * s);
    const double a = (ys * (cc * m - c * c) - sc * (yc * m - c * y) + s * (yc * c - cc * y)) / det;
    const double b = (ss * (yc * m - c * y) - ys * (sc * m - c * s) + s * (sc * y - yc * s)) / det;
    const double d = (ss * (cc * y - c * yc) - sc * (sc * y - c * ys) + s * (sc * yc - cc * ys)) / det;
    double residual = 0.0;
    for (std::size_t n = begin; n < begin + count; ++n) {
        const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(n) / rate;
        const double e = samples[n] - (a * std::sin(phase) + b * std::cos(phase) + d);
        residual += e * e;
    }
    return {std::hypot(a, b), std::sqrt(residual / m)};
}

class PulseLoopback : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new PulseServer;
        if (!server_->start()) {
            reason_ = server_->failure();
        }
    }
    static void TearDownTestSuite() {
        delete server_;  // stops the server by its process id
        server_ = nullptr;
    }
    void SetUp() override {
        if (!server_->running()) {
            GTEST_SKIP() << "no sound server for the loopback tests: " << reason_;
        }
        ASSERT_TRUE(server_->useSink(PulseServer::kSink48k));
        ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "100%"));
    }

    static SessionRequest request(const std::vector<std::int16_t>& signal, int rate) {
        SessionRequest request;
        request.sweep = signal;
        request.sampleRate = rate;
        request.inputChannels = 2;
        request.leadSeconds = 0.3;
        request.tailSeconds = 0.5;
        return request;
    }

    static inline PulseServer* server_ = nullptr;
    static inline std::string reason_;
};

TEST_F(PulseLoopback, RecordsThePlayedSamplesExactlyOnTheMappedChannels) {
    const std::vector<std::int16_t> noise = noiseBurst(24000);
    SessionRequest both = request(noise, 48000);
    const auto started = std::chrono::steady_clock::now();
    const SessionResult result = playAndRecord(both);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_EQ(result.lostFrames, 0u);
    // An idle null sink takes up to 2 s to wake; beyond that the session must not linger.
    EXPECT_LT(seconds, 0.3 + 0.5 + 0.5 + 3.0) << "the session took far longer than its length";
    const auto offset = exactOffset(channel(result, 0), noise);
    ASSERT_TRUE(offset.has_value()) << "the left channel does not hold the played samples";
    EXPECT_GE(*offset, static_cast<std::size_t>(0.3 * 48000 * 0.9)) << "playback began before the lead";
    EXPECT_EQ(exactOffset(channel(result, 1), noise), offset);
    // At least the tail follows the signal.
    EXPECT_GE(channel(result, 0).size(), *offset + noise.size() + 24000);

    SessionRequest left = request(noise, 48000);
    left.outputChannels = OutputChannels::Left;
    const SessionResult leftOnly = playAndRecord(left);
    ASSERT_TRUE(leftOnly.ok()) << leftOnly.message;
    EXPECT_TRUE(exactOffset(channel(leftOnly, 0), noise).has_value());
    for (const double sample : channel(leftOnly, 1)) {
        ASSERT_EQ(sample, 0.0) << "the right channel was meant to stay silent";
    }
}

TEST_F(PulseLoopback, MeasuresTheServersCubicVolumeCurve) {
    ASSERT_TRUE(server_->setSinkVolume(PulseServer::kSink48k, "70%"));
    const long volume = server_->sinkVolume(PulseServer::kSink48k);
    ASSERT_GT(volume, 0);
    const double expected = std::pow(volume / 65536.0, 3.0);
    const std::vector<std::int16_t> noise = noiseBurst(24000);
    const SessionResult result = playAndRecord(request(noise, 48000));
    ASSERT_TRUE(result.ok()) << result.message;
    const std::vector<double> left = channel(result, 0);
    const std::size_t start = onset(left, 200.0);
    ASSERT_LT(start, left.size());
    // The noise's first sample may be quieter than the threshold: try the few offsets around it.
    double best = 0.0;
    for (std::size_t offset = start > 8 ? start - 8 : 0; offset <= start + 8; ++offset) {
        best = std::max(best, fittedGain(left, noise, offset));
    }
    EXPECT_NEAR(best, expected, expected * 1e-3) << "volume " << volume << " of 65536";
    EXPECT_NEAR(20.0 * std::log10(best), 60.0 * std::log10(0.7), 0.02);
}

TEST_F(PulseLoopback, ResamplingSinkKeepsEveryToneAndLosesNoSamples) {
    ASSERT_TRUE(server_->useSink(PulseServer::kSink44k));
    const std::vector<double> tones{500.0, 5000.0, 15000.0};
    const double block = 0.25;
    const double amplitude = 16000.0;
    const std::vector<std::int16_t> sine = steppedSine(tones, block, 48000, amplitude);
    // A stream the server resamples can run dry through ALSA's plugin (the
    // session asks for a longer buffer against it): that must be reported as
    // lost samples, and an attempt must come through whole.
    SessionResult result;
    for (int attempt = 0; attempt < 12; ++attempt) {
        result = playAndRecord(request(sine, 48000));
        if (result.ok()) {
            break;
        }
        EXPECT_EQ(result.status, SessionStatus::LostSamples) << result.message;
    }
    ASSERT_TRUE(result.ok()) << "no attempt of twelve came through: " << result.message;
    const std::vector<double> left = channel(result, 0);
    const std::size_t start = onset(left, amplitude / 4);
    const std::size_t blockFrames = static_cast<std::size_t>(block * 48000);
    ASSERT_LE(start + tones.size() * blockFrames, left.size()) << "the recording ends before the last tone";
    for (std::size_t k = 0; k < tones.size(); ++k) {
        // The middle half of each tone: clear of the resampler's ringing at the steps.
        const std::size_t begin = start + k * blockFrames + blockFrames / 4;
        const SineFit fit = fitSine(left, begin, blockFrames / 2, tones[k], 48000);
        const double gainDb = 20.0 * std::log10(fit.amplitude / amplitude);
        EXPECT_NEAR(gainDb, 0.0, 0.2) << tones[k] << " Hz through the resampler";
        EXPECT_LT(fit.residualRms, amplitude * 0.01) << tones[k] << " Hz: a gap or a foreign signal";
    }
}

TEST_F(PulseLoopback, ReportsAnInputOfNothingButZerosAsSilent) {
    const std::vector<std::int16_t> zeros(4800, 0);
    const SessionResult result = playAndRecord(request(zeros, 48000));
    EXPECT_EQ(result.status, SessionStatus::SilentInput) << result.message;
    EXPECT_FALSE(result.frames.empty());
}

TEST_F(PulseLoopback, CancelsAtOnceAndKeepsWhatWasRecorded) {
    std::atomic<bool> cancel{false};
    const std::vector<std::int16_t> noise = noiseBurst(48000 * 10);
    SessionRequest long_request = request(noise, 48000);
    long_request.cancel = &cancel;
    const auto started = std::chrono::steady_clock::now();
    const SessionResult result = playAndRecord(long_request, [&](const SessionProgress& progress) {
        EXPECT_GT(progress.secondsTotal, 10.0);
        if (progress.secondsDone > 0.6) {
            cancel.store(true);
        }
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(result.status, SessionStatus::Cancelled) << result.message;
    EXPECT_LT(seconds, 3.0);
    EXPECT_GE(result.frames.size(), static_cast<std::size_t>(0.6 * 48000 * 2));
    EXPECT_EQ(result.frames.size() % 2, 0u);
}

TEST_F(PulseLoopback, RefusesARateNoDeviceTakes) {
    const std::vector<std::int16_t> noise = noiseBurst(480);
    const SessionResult result = playAndRecord(request(noise, 999999));
    EXPECT_EQ(result.status, SessionStatus::RateRefused) << result.message;
}

TEST_F(PulseLoopback, ReportsAServerThatGoesAwayMidRunAsStopped) {
    const std::vector<std::int16_t> noise = noiseBurst(48000 * 10);
    const auto started = std::chrono::steady_clock::now();
    const SessionResult result = playAndRecord(request(noise, 48000), [&](const SessionProgress& progress) {
        if (progress.secondsDone > 0.5 && server_->running()) {
            server_->stop();
        }
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_TRUE(result.status == SessionStatus::DeviceStopped || result.status == SessionStatus::DeviceError)
        << describe(result.status) << ": " << result.message;
    EXPECT_LT(seconds, 6.0);
    // The remaining tests of this process need a server again.
    server_->start();
}

}  // namespace
}  // namespace auralyn::audio
