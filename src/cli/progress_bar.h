#pragma once

#include <cstdio>
#include <string>

namespace auralyn::cli {

// A one-line progress bar on standard error, drawn only when standard error is
// a terminal and the user did not ask for quiet: pipes and log files get no
// carriage-return noise. Redrawn only when the shown percentage changes.
class ProgressBar {
public:
    ProgressBar(std::string label, bool quiet);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool shown() const { return shown_; }
    void update(double percent);
    // Ends the bar's line, if one was drawn.
    void finish();

private:
    std::string label_;
    bool shown_ = false;
    bool drawn_ = false;
    int lastPercent_ = -1;
};

bool standardErrorIsTerminal();

}  // namespace auralyn::cli
