#include "measurer/analysis_loop.h"

#include <cstdio>

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

}  // namespace

bool analyzeRecording(sweep::SweepPlan& plan, wave::WaveFile& recording, std::vector<ToneResult>& results,
                      std::uint32_t toneCount) {
    ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(plan.params().sampleRate);
    ClockWatch clockWatch;
    std::printf("\nAnalyzing input wave. Percent done:\n");
    std::fflush(stdout);
    const WalkOutcome outcome = walkRecording(plan, recording, [&](const ToneBlock& block) {
        // A walk that yields one tone more than the count stops before it.
        if (block.index >= toneCount) return false;
        analyzer.setSamples(block.samples);
        analyzer.setTone(block.frequency, block.length);
        // Two tones of one frequency and length would otherwise share the
        // results cached for the first.
        analyzer.samplesChanged();
        results.push_back(ToneResult{block.frequency, analyzer.amplitude(),
                                     phaseAtBlockStart(analyzer.phase(), block, plan.params().sampleRate)});
        watchBlock(clockWatch, block, plan.params().sampleRate);
        std::printf("\r%.0f%%  ", plan.percentDone());
        std::fflush(stdout);
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
