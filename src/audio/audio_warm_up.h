#pragma once

#include <memory>

#include "platform/non_copyable.h"

namespace auralyn::audio {

// Starts the system's audio in the background. Listing the devices may take
// half a second (the audio system loads its plug-ins one by one), which a
// measurement can spend making its sweep instead; a session begun while one
// is held finds the system started.
class AudioWarmUp : platform::NonCopyable {
public:
    AudioWarmUp();
    ~AudioWarmUp();

    // Returns once the start has finished (whether or not it worked: the
    // session reports its own errors). Call before any other use of audio.
    void wait();

private:
    struct Start;
    std::unique_ptr<Start> start_;
};

}  // namespace auralyn::audio
