#include "cli/progress_bar.h"

#include <cmath>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace auralyn::cli {

bool standardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

ProgressBar::ProgressBar(std::string label, bool quiet)
    : label_(std::move(label)), shown_(!quiet && standardErrorIsTerminal()) {}

ProgressBar::~ProgressBar() { finish(); }

void ProgressBar::update(double percent) {
    if (!shown_ || !std::isfinite(percent)) return;
    const int whole = static_cast<int>(std::fmin(std::fmax(percent, 0.0), 100.0));
    if (whole == lastPercent_) return;
    lastPercent_ = whole;
    constexpr int kWidth = 40;
    const int filled = whole * kWidth / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), whole);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    drawn_ = false;
}

}  // namespace auralyn::cli
