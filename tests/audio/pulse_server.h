#pragma once

// A headless sound server of the tests' own: started in the background with
// its own runtime folder, socket and client configuration (autospawn off), two
// null sinks (48000 Hz and 44100 Hz), and stopped by its process id. The
// process's environment points every client (pactl, ALSA's pulse plugin) at it.
#include <sys/types.h>

#include <string>

namespace auralyn::audio::testing {

class PulseServer {
public:
    static constexpr const char* kSink48k = "auralyn_test_48k";
    static constexpr const char* kSink44k = "auralyn_test_44k";
    static constexpr const char* kKeepAliveSink = "auralyn_keep_alive";

    PulseServer() = default;
    ~PulseServer() { stop(); }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Starts the server and waits until it answers; false with `failure()` set otherwise.
    bool start();
    void stop();
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& failure() const { return failure_; }

    // The sink becomes the default output and its monitor the default input.
    bool useSink(const std::string& sink);
    bool setSinkVolume(const std::string& sink, const std::string& volume);
    // The sink's raw volume (0..65536 is 0..100 %) on its first channel; -1 when unknown.
    long sinkVolume(const std::string& sink);
    // What a shell command against this server printed (its standard output).
    std::string output(const std::string& command);

private:
    bool run(const std::string& command);

    std::string folder_;
    std::string failure_;
    pid_t pid_ = -1;
};

}  // namespace auralyn::audio::testing
