#include "cli/measure_display.h"

#include <cmath>
#include <cstdio>

#include "cli/progress_bar.h"

namespace auralyn::cli {
namespace {

// The recording lags the output by the devices' latency: a pulse is judged
// only this long after it was played.
constexpr double kLatencyAllowance = 0.5;
constexpr double kMeterFloorDbfs = -60.0;

std::string bar(double fraction, int width, char fill) {
    const int filled = static_cast<int>(std::fmin(std::fmax(fraction, 0.0), 1.0) * width);
    std::string text(static_cast<std::size_t>(width) + 2, ' ');
    text.front() = '[';
    text.back() = ']';
    for (int i = 0; i < filled; ++i) text[static_cast<std::size_t>(i) + 1] = fill;
    return text;
}

}  // namespace

std::string progressLine(const audio::SessionProgress& p) {
    const double fraction = p.secondsTotal > 0.0 ? p.secondsDone / p.secondsTotal : 0.0;
    const double left = std::fmax(p.secondsTotal - p.secondsDone, 0.0);
    const double level = std::fmax(p.inputPeakDbfs, kMeterFloorDbfs);
    char text[160];
    std::snprintf(text, sizeof text, "measure %s %3d%% %6.1f s left  input %6.1f dBFS %s%s", bar(fraction, 30, '#').c_str(),
                  static_cast<int>(std::fmin(fraction, 1.0) * 100.0), left, level,
                  bar(1.0 - level / kMeterFloorDbfs, 20, '=').c_str(), p.inputClipped ? " CLIP" : "");
    return text;
}

SessionDisplay::SessionDisplay(bool quiet, const PulseWatch& pulse)
    : pulse_(pulse), shown_(!quiet && standardErrorIsTerminal()) {}

SessionDisplay::~SessionDisplay() { finish(); }

void SessionDisplay::update(const audio::SessionProgress& progress) {
    if (progress.inputClipped && !clipWarned_) {
        clipWarned_ = true;
        warn("the input clips (reaches full scale): the measured response will be wrong; lower the input gain "
             "or the output volume");
    }
    watchPulse(progress);
    draw(progress);
}

// The input level while the pulse arrives, against the level at which the
// analysis recognises it.
void SessionDisplay::watchPulse(const audio::SessionProgress& progress) {
    if (pulseJudged_ || progress.secondsDone < pulse_.start) return;
    pulsePeakDbfs_ = std::fmax(pulsePeakDbfs_, progress.inputPeakDbfs);
    if (progress.secondsDone < pulse_.end + kLatencyAllowance) return;
    pulseJudged_ = true;
    if (pulsePeakDbfs_ >= pulse_.thresholdDbfs) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "the input peaked at %.1f dBFS while the sync pulse played, below the %.1f dBFS (%g %% of full "
                  "scale) the analysis needs to find it; raise the input level",
                  std::fmax(pulsePeakDbfs_, -200.0), pulse_.thresholdDbfs, pulse_.thresholdPercent);
    warn(text);
}

void SessionDisplay::draw(const audio::SessionProgress& progress) {
    if (!shown_) return;
    const std::string line = progressLine(progress);
    if (line == lastLine_ && drawn_) return;
    lastLine_ = line;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void SessionDisplay::warn(const std::string& text) {
    finish();
    std::fprintf(stderr, "auralyn: warning: %s\n", text.c_str());
    std::fflush(stderr);
}

void SessionDisplay::finish() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    drawn_ = false;
    lastLine_.clear();
}

}  // namespace auralyn::cli
