#include "terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace auralyn::test {

TerminalSession::TerminalSession(const std::string& program, const std::string& workingDirectory) {
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ < 0) throw std::runtime_error("forkpty failed");
    if (pid_ == 0) {
        // A plain terminal and no personal readline settings keep the output predictable.
        setenv("TERM", "dumb", 1);
        setenv("INPUTRC", "/dev/null", 1);
        if (chdir(workingDirectory.c_str()) != 0) _exit(126);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

TerminalSession::~TerminalSession() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
}

bool TerminalSession::readMore(int timeoutMs) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;  // EIO once the program has ended
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool TerminalSession::expect(const std::string& text, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::size_t at = output_.find(text, matched_);
        if (at != std::string::npos) {
            matched_ = at + text.size();
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readMore(static_cast<int>(left.count()))) return false;
    }
}

void TerminalSession::type(const std::string& keys) {
    std::size_t written = 0;
    while (written < keys.size()) {
        ssize_t n = write(master_, keys.data() + written, keys.size() - written);
        if (n <= 0) throw std::runtime_error("cannot type on the terminal");
        written += static_cast<std::size_t>(n);
    }
}

int TerminalSession::finish(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            while (readMore(0)) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline) return -1;
        // Keep draining, or a full terminal buffer would stall the program.
        if (!readMore(50)) usleep(10000);
    }
}

}  // namespace auralyn::test
