#include "pulse_server.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace auralyn::audio::testing {

namespace {

bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A loopback from a sink's monitor into the keep-alive sink, at 20 ms.
std::string keepAlive(const char* sink) {
    return std::string("module-loopback source=") + sink + ".monitor sink=" + PulseServer::kKeepAliveSink +
           " latency_msec=20 source_dont_move=true sink_dont_move=true";
}

std::string lastLines(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::string text;
    while (std::getline(in, line)) {
        if (line.find("E: ") == 0) {
            text += line + "\n";
        }
    }
    return text;
}

}  // namespace

bool PulseServer::start() {
    if (!onPath("pulseaudio") || !onPath("pactl")) {
        failure_ = "pulseaudio or pactl is not installed (apt-get install pulseaudio pulseaudio-utils)";
        return false;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "auralyn-pulse-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        failure_ = "no temporary folder for the sound server";
        return false;
    }
    folder_ = pattern;
    const std::string socket = folder_ + "/native";
    const std::string clientConfig = folder_ + "/client.conf";
    std::ofstream(clientConfig) << "autospawn = no\n";
    // A sink's rate follows a new stream's when that is the server's default or
    // alternate rate (48000 by default): keep both at 44100 so that the 44100 Hz
    // sink really resamples a 48000 Hz stream.
    std::filesystem::create_directories(folder_ + "/.config/pulse");
    std::ofstream(folder_ + "/.config/pulse/daemon.conf")
        << "default-sample-rate = 44100\nalternate-sample-rate = 44100\n";
    // Everything the server and its clients look up stays in the folder.
    setenv("PULSE_RUNTIME_PATH", folder_.c_str(), 1);
    setenv("PULSE_STATE_PATH", folder_.c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", clientConfig.c_str(), 1);
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    setenv("HOME", folder_.c_str(), 1);

    const std::string log = folder_ + "/server.log";
    std::vector<std::string> arguments{
        "pulseaudio", "--daemonize=no", "-n", "--use-pid-file=no", "--exit-idle-time=-1", "--disallow-exit",
        "--system=no", "--log-target=file:" + log, "--disable-shm=yes",
        "-L", "module-native-protocol-unix socket=" + socket + " auth-anonymous=1",
        "-L", std::string("module-null-sink sink_name=") + kSink48k + " rate=48000 format=s16le channels=2",
        "-L", std::string("module-null-sink sink_name=") + kSink44k + " rate=44100 format=s16le channels=2",
        // An idle null sink renders two-second blocks, so a client's first
        // samples could wait up to 2 s; a sound card runs on short periods.
        // A short-latency listener on the 48000 Hz sink's monitor keeps it
        // running as a card does (not the 44100 Hz one: a listener there
        // could move that sink to the listener's rate, and its test is of
        // the server resampling).
        "-L", std::string("module-null-sink sink_name=") + kKeepAliveSink + " rate=48000 format=s16le channels=2",
        "-L", keepAlive(kSink48k)};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "pulseaudio", nullptr, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
        failure_ = "pulseaudio did not start";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "pulseaudio exited at once: " + lastLines(log);
            return false;
        }
        if (run("pactl info")) {
            return useSink(kSink48k);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop();
    failure_ = "pulseaudio did not answer within 5 s: " + lastLines(log);
    return false;
}

void PulseServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        folder_.clear();
    }
}

bool PulseServer::run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string PulseServer::output(const std::string& command) {
    std::string text;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) {
        text += buffer.data();
    }
    pclose(pipe);
    return text;
}

bool PulseServer::useSink(const std::string& sink) {
    return run("pactl set-default-sink " + sink) && run("pactl set-default-source " + sink + ".monitor");
}

bool PulseServer::setSinkVolume(const std::string& sink, const std::string& volume) {
    return run("pactl set-sink-volume " + sink + " " + volume);
}

long PulseServer::sinkVolume(const std::string& sink) {
    // "Volume: front-left: 45875 /  70% / -9.29 dB,   front-right: ..."
    const std::string text = output("pactl get-sink-volume " + sink);
    const std::string key = "front-left:";
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return -1;
    std::size_t digits = text.find_first_not_of(" \t", at + key.size());
    if (digits == std::string::npos || !std::isdigit(static_cast<unsigned char>(text[digits]))) return -1;
    return std::stol(text.substr(digits));
}

}  // namespace auralyn::audio::testing
