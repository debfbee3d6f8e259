#include "cli/measure_display.h"

#include <cmath>
#include <cstdio>

#include "cli/progress_bar.h"

namespace auralyn::cli {
namespace {

// A pulse is judged this long beyond its own length after it arrived (two
// progress reports), and it arrives when the input rises this far above the
// level before playback, and at least to the floor.
constexpr double kReportAllowance = 0.1;
constexpr double kRiseDb = 10.0;
constexpr double kSignalFloorDbfs = -60.0;
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
                  bar(1.0 - level / kMeterFloorDbfs, 20, '=').c_str(), p.inputClipped ? " FULL SCALE" : "");
    return text;
}

SessionDisplay::SessionDisplay(bool quiet, const PulseWatch& pulse)
    : pulse_(pulse), shown_(!quiet && standardErrorIsTerminal()) {}

SessionDisplay::~SessionDisplay() { finish(); }

void SessionDisplay::update(const audio::SessionProgress& progress) {
    watchPulse(progress);
    draw(progress);
}

// The devices' latency (from milliseconds to seconds on a sound server) hides
// when the pulse arrives; it is the first thing of the sweep to rise clearly
// above what the input held before playback began, so the level it reaches
// over its own length from there is what the analysis will see.
void SessionDisplay::watchPulse(const audio::SessionProgress& progress) {
    if (pulseJudged_) return;
    if (!progress.playing && !pulseSeen_) {
        quietPeakDbfs_ = std::fmax(quietPeakDbfs_, progress.inputPeakDbfs);
        return;
    }
    if (!pulseSeen_) {
        if (progress.inputPeakDbfs < std::fmax(kSignalFloorDbfs, quietPeakDbfs_ + kRiseDb)) return;
        pulseSeen_ = true;
        pulseArrival_ = progress.secondsDone;
    }
    pulsePeakDbfs_ = std::fmax(pulsePeakDbfs_, progress.inputPeakDbfs);
    if (progress.secondsDone < pulseArrival_ + pulse_.seconds + kReportAllowance) return;
    pulseJudged_ = true;
    if (pulsePeakDbfs_ >= pulse_.thresholdDbfs) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "the input peaked at %.1f dBFS while the sync pulse played, below the %.1f dBFS (%g %% of full "
                  "scale) the analysis needs to find it; raise the input level",
                  pulsePeakDbfs_, pulse_.thresholdDbfs, pulse_.thresholdPercent);
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
