#include <thread>

#include "audio/audio_warm_up.h"
#include "audio/portaudio_api.h"

namespace auralyn::audio {

// PortAudio counts its initialisations: the one held here makes the
// session's own a mere count, and ends with this object.
struct AudioWarmUp::Start {
    std::thread thread;
    bool initialised = false;
};

AudioWarmUp::AudioWarmUp() : start_(std::make_unique<Start>()) {
    Start* start = start_.get();
    start->thread = std::thread([start] { start->initialised = portAudio().ok() && pa().initialize() == paNoError; });
}

AudioWarmUp::~AudioWarmUp() {
    wait();
    if (start_->initialised) pa().terminate();
}

void AudioWarmUp::wait() {
    if (start_->thread.joinable()) start_->thread.join();
}

}  // namespace auralyn::audio
