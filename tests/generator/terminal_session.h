#pragma once

#include <sys/types.h>

#include <string>

namespace auralyn::test {

// A program running on a pseudo-terminal, answered the way a person would: wait
// for a prompt, type a line.
class TerminalSession {
public:
    TerminalSession(const std::string& program, const std::string& workingDirectory);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    // Waits until `text` appears in the output after the previous match. False on
    // timeout or when the program ended first.
    bool expect(const std::string& text, int timeoutMs = 20000);
    void type(const std::string& keys);
    // Waits for the program to end: its exit code, or 128 + signal.
    int finish(int timeoutMs = 60000);

    const std::string& output() const { return output_; }

private:
    bool readMore(int timeoutMs);

    pid_t pid_ = -1;
    int master_ = -1;
    std::string output_;
    std::size_t matched_ = 0;
};

}  // namespace auralyn::test
