#include "cli/sweep_start.h"

#include <cstdio>

namespace auralyn::cli {
namespace {

const char* syncName(analysis::TimeBase base) {
    switch (base) {
        case analysis::TimeBase::Pulse: return "pulse";
        case analysis::TimeBase::Sweep: return "sweep";
        case analysis::TimeBase::Reference: return "reference";
    }
    return "sweep";
}

}  // namespace

SweepStart sweepStart(const analysis::RecordingAnalysis& result, double sampleRate) {
    return {result.delaySamples, result.delayU95Samples, sampleRate, result.sync};
}

std::vector<SummaryField> startSummaryFields(const std::optional<SweepStart>& start) {
    if (!start) return {{"delay_s", nullptr}, {"delay_u95_s", nullptr}, {"sync", nullptr}};
    return {{"delay_s", jsonNumber(start->delaySamples / start->sampleRate)},
            {"delay_u95_s", jsonNumber(start->delayU95Samples / start->sampleRate)},
            {"sync", syncName(start->sync)}};
}

std::string startLine(const SweepStart& start) {
    const char* how = start.sync == analysis::TimeBase::Reference ? "on the reference channel"
                      : start.sync == analysis::TimeBase::Pulse   ? "by its sync pulse, which its tones confirmed"
                                                                  : "by its tones";
    char text[200];
    std::snprintf(text, sizeof text, "Sweep begins at %.6f s (%.3f samples, \u00b1%.3f), found %s",
                  start.delaySamples / start.sampleRate, start.delaySamples, start.delayU95Samples, how);
    return text;
}

}  // namespace auralyn::cli
