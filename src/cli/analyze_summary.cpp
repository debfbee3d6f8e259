#include "cli/analyze_summary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cli/analysis_outputs.h"
#include "cli/diagnostics.h"

namespace auralyn::cli {
namespace {

// At most this many clipped tones are named; the rest are counted.
constexpr std::size_t kClippedNamed = 8;
// A clock interval narrower than this (ppm), which two decimals would print
// as 0.00, is printed to four.
constexpr double kFinerBelowPpm = 0.005;

std::string frequencyText(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", hz);
    return text;
}

// A tone that could not be placed after a jump holds no measurement, though
// the walk kept a row for it.
std::size_t tonesPlaced(const analysis::SweepAnalysis& analysis) {
    return static_cast<std::size_t>(std::count_if(analysis.tones.begin(), analysis.tones.end(),
                                                  [](const analysis::ToneMeasurement& t) { return t.placed; }));
}

}  // namespace

std::string clockLine(const clock::ClockFigure& figure) {
    if (figure.verdict == clock::ClockVerdict::Disagree) return {};
    char text[160];
    // The tones' phases give the ratio to thousandths of a ppm.
    const int decimals = figure.u95 < kFinerBelowPpm ? 4 : 2;
    std::snprintf(text, sizeof text, "Clock: the recording runs %+.*f ppm against the sweep (\u00b1%.*f ppm)",
                  decimals, figure.ppm, decimals, figure.u95);
    std::string line = text;
    if (figure.verdict == clock::ClockVerdict::OutOfRange) line += ", beyond \u00b11000 ppm: not used";
    return line;
}

std::string snrLine(const analysis::SweepAnalysis& analysis) {
    std::vector<double> snrs;
    for (const analysis::ToneMeasurement& tone : analysis.tones) {
        if (tone.placed && tone.quality && tone.quality->snrDb) snrs.push_back(*tone.quality->snrDb);
    }
    if (snrs.empty()) return {};
    const auto [low, high] = std::minmax_element(snrs.begin(), snrs.end());
    char text[96];
    std::snprintf(text, sizeof text, "SNR of the tones: %.1f to %.1f dB", *low, *high);
    return text;
}

void printSummary(const analysis::SweepAnalysis& analysis, const std::string& clock) {
    if (!clock.empty()) std::printf("%s\n", clock.c_str());
    std::printf("Tones measured: %zu of %u\n", tonesPlaced(analysis), static_cast<unsigned>(analysis.tonesExpected));
    if (!analysis.tones.empty()) std::printf("Peak recording level: %.0f%%\n", peakPercent(analysis.peak));
    const std::string snr = snrLine(analysis);
    if (!snr.empty()) std::printf("%s\n", snr.c_str());
    const std::size_t notMeasured = analysis.tonesMissing + (analysis.tones.size() - tonesPlaced(analysis));
    if (notMeasured != 0) std::printf("Tones not measured: %zu\n", notMeasured);
    std::fflush(stdout);
}

bool printClockProblem(const std::string& path, const clock::ClockFigure& figure) {
    switch (figure.verdict) {
        case clock::ClockVerdict::Measured: return false;
        case clock::ClockVerdict::Disagree:
            printDiagnostic(path + ": the tones do not agree on one clock: is this a recording of this sweep?");
            return true;
        case clock::ClockVerdict::OutOfRange:
            printDiagnostic(path + ": the clock figure lies beyond \u00b11000 ppm and is not used; "
                                   "the tones were measured without correction");
            return true;
    }
    return false;
}

void printClipping(const std::string& path, const analysis::SweepAnalysis& analysis) {
    std::string named;
    std::size_t count = 0;
    for (const analysis::ToneMeasurement& tone : analysis.tones) {
        if (!tone.clipped) continue;
        if (count < kClippedNamed) named += (count == 0 ? "" : ", ") + frequencyText(tone.frequency);
        ++count;
    }
    if (count == 0) return;
    if (count > kClippedNamed) named += " and " + std::to_string(count - kClippedNamed) + " more";
    printDiagnostic("warning: " + path + ": the recording clips (flat tops at full scale) in " +
                    std::to_string(count) + (count == 1 ? " tone: " : " tones: ") + named);
}

void printFailure(const std::string& path, const analysis::SweepAnalysis& analysis) {
    if (analysis.complete()) return;
    const std::string missing = std::to_string(analysis.tonesMissing) + " of " +
                                std::to_string(analysis.tonesExpected) + " tones could not be measured";
    if (analysis.end == measurer::WalkEnd::PulseNotFound) {
        printDiagnostic(path + ": the synchronization pulse could not be found; " + missing);
    } else {
        printDiagnostic(path + ": the recording ended before the sweep did; " + missing);
    }
}

}  // namespace auralyn::cli
