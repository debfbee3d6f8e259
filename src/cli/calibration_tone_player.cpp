#include "cli/calibration_tone_player.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "cli/diagnostics.h"

#ifdef AURALYN_HAVE_AUDIO
#include "audio/audio_session.h"
#endif

namespace auralyn::cli {

#ifdef AURALYN_HAVE_AUDIO

namespace {

// The tone as 16-bit samples, faded in and out over 10 ms so that starting
// and stopping do not click.
std::vector<std::int16_t> toneSamples(const TonePlayback& p) {
    const auto count = static_cast<std::size_t>(p.maxSeconds * p.sampleRate);
    const auto fade = static_cast<std::size_t>(0.01 * p.sampleRate);
    const double amplitude = 32767.0 * std::pow(10.0, p.levelDbfs / 20.0);
    std::vector<std::int16_t> samples(count);
    for (std::size_t n = 0; n < count; ++n) {
        const double edge = std::min({1.0, static_cast<double>(n) / fade, static_cast<double>(count - n) / fade});
        const double x = amplitude * edge * std::sin(2.0 * std::numbers::pi * p.frequencyHz * n / p.sampleRate);
        samples[n] = static_cast<std::int16_t>(std::lround(x));
    }
    return samples;
}

}  // namespace

bool playToneUntilEnter(const TonePlayback& p) {
    const std::vector<std::int16_t> samples = toneSamples(p);
    // Enter is read on a thread of its own, which the session cannot wait for;
    // it is left to end with the program when the tone ran out first.
    auto stop = std::make_shared<std::atomic<bool>>(false);
    std::thread([stop] {
        std::string line;
        std::getline(std::cin, line);
        stop->store(true);
    }).detach();
    std::printf("calibrate: playing %.6g Hz at %.2f dBFS; read the voltmeter, then press Enter\n", p.frequencyHz,
                p.levelDbfs);
    std::fflush(stdout);
    audio::SessionRequest request;
    request.outputDevice = p.outputDevice;
    request.inputDevice = p.inputDevice;
    request.sampleRate = p.sampleRate;
    request.sweep = samples;
    request.leadSeconds = 0.1;
    request.tailSeconds = 0.1;
    request.cancel = stop.get();
    const audio::SessionResult result = audio::playAndRecord(request);
    if (result.status == audio::SessionStatus::Cancelled || result.ok()) return true;
    printDiagnostic(result.message.empty() ? audio::describe(result.status) : result.message);
    return false;
}

#else

bool playToneUntilEnter(const TonePlayback&) {
    printDiagnostic("this build has no audio devices; play the tone by other means and use --no-play");
    return false;
}

#endif

}  // namespace auralyn::cli
