#include "measurer/analysis_loop.h"

#include <cstdio>
#include <cstring>

#include "measurer/block_measurement.h"
#include "measurer/clock_warning.h"
#include "measurer/recording_walk.h"
#include "measurer/tone_analyzer.h"

namespace auralyn::measurer {
namespace {

void printPeak(std::uint16_t peak) {
    const long double percent = static_cast<long double>(peak) * (1.0L / 32767.0L) * 100.0L;
    std::printf("\nPeak recording level: %.0f%%\n", static_cast<double>(percent));
}

void printFailure(WalkEnd end) {
    if (end == WalkEnd::PulseNotFound) std::printf("\nError: The synchronization pulse could not be found.");
    if (end == WalkEnd::RecordingEnded) std::printf("\nError: Input wave file ended before expected.");
}

// The progress line: every tone prints its percentage, but the console is
// flushed only when the figure changes. A flush is a system call, and a dense
// sweep has tens of tones per percent.
class ProgressLine {
public:
    void show(double percent) {
        char text[sizeof shown_];
        const int length = std::snprintf(text, sizeof text, "\r%.0f%%  ", percent);
        if (length < 0 || length >= static_cast<int>(sizeof text)) {
            // A figure too long for the line (a hostile parameter file): as is.
            std::printf("\r%.0f%%  ", percent);
            std::fflush(stdout);
            shown_[0] = '\0';
            return;
        }
        std::fputs(text, stdout);
        if (std::strcmp(text, shown_) == 0) return;
        std::memcpy(shown_, text, sizeof text);
        std::fflush(stdout);
    }

private:
    char shown_[32] = {};
};

}  // namespace

bool analyzeRecording(sweep::SweepPlan& plan, wave::WaveFile& recording, std::vector<ToneResult>& results,
                      std::uint32_t toneCount) {
    ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(plan.params().sampleRate);
    ClockWatch clockWatch;
    ProgressLine progress;
    std::printf("\nAnalyzing input wave. Percent done:\n");
    std::fflush(stdout);
    const WalkOutcome outcome = walkRecording(plan, recording, [&](const ToneBlock& block) {
        // A walk that yields one tone more than the count stops before it.
        if (block.index >= toneCount) return false;
        const std::uint32_t rate = plan.params().sampleRate;
        results.push_back(measureBlock(analyzer, block, rate));
        if (measuredByCorrelation(block, rate)) {
            watchBlock(clockWatch, block, rate, analyzer.halvesSums());
        } else {
            watchBlock(clockWatch, block, rate);
        }
        progress.show(plan.percentDone());
        return true;
    });
    if (outcome.end != WalkEnd::Complete) {
        printFailure(outcome.end);
        return false;
    }
    std::printf("\r100%%  \n");
    printPeak(outcome.peak);
    printClockWarning(clockWatch, plan);
    return true;
}

}  // namespace auralyn::measurer
