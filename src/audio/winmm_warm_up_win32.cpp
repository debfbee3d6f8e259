#include "audio/audio_warm_up.h"

namespace auralyn::audio {

// WinMM opens its devices when asked, at no cost worth hiding.
struct AudioWarmUp::Start {};

AudioWarmUp::AudioWarmUp() : start_(std::make_unique<Start>()) {}
AudioWarmUp::~AudioWarmUp() = default;
void AudioWarmUp::wait() {}

}  // namespace auralyn::audio
