#include "analysis/sweep_analysis.h"

#include <algorithm>

#include "measurer/report.h"
#include "measurer/tone_analyzer.h"
#include "measurer/tone_result.h"
#include "sweep/sweep_layout.h"

namespace auralyn::analysis {
namespace {

void countMissing(SweepAnalysis& analysis) {
    const std::size_t measured = analysis.tones.size();
    analysis.tonesMissing = measured < analysis.tonesExpected
                                ? analysis.tonesExpected - static_cast<std::uint32_t>(measured)
                                : 0;
}

}  // namespace

void unwrapAlongSweep(std::vector<ToneMeasurement>& tones) {
    std::vector<measurer::ToneResult> results;
    results.reserve(tones.size());
    for (const ToneMeasurement& tone : tones) results.push_back(measurer::ToneResult{tone.frequency, tone.amplitude, tone.phase});
    measurer::unwrapPhases(results.data(), results.size());
    for (std::size_t i = 0; i < tones.size(); ++i) tones[i].unwrappedPhase = results[i].phase;
}

std::uint32_t scheduledToneCount(const sweep::SweepPlan& plan) {
    sweep::SweepPlan walk = plan;
    walk.rewind();
    std::uint32_t count = 1;
    while (walk.nextTone()) ++count;
    return count;
}

SweepAnalysis analyzeSweep(sweep::SweepPlan& plan, wave::WaveFile& recording, const AnalysisProgress& progress) {
    SweepAnalysis analysis;
    analysis.tonesExpected = scheduledToneCount(plan);
    const std::uint32_t reportCount = plan.toneCount();
    if (!recording.skipSamples(sweep::measurerLeadInSamples(plan.params()))) {
        analysis.end = measurer::WalkEnd::RecordingEnded;
        analysis.leadInMissing = true;
        countMissing(analysis);
        return analysis;
    }
    measurer::ToneAnalyzer analyzer(nullptr);
    analyzer.setSampleRate(plan.params().sampleRate);
    const measurer::WalkOutcome outcome = measurer::walkRecording(plan, recording, [&](const measurer::ToneBlock& block) {
        analyzer.setSamples(block.samples);
        analyzer.setTone(block.frequency, block.length);
        // Two tones of one frequency and length would otherwise share the
        // results cached for the first.
        analyzer.samplesChanged();
        ToneMeasurement tone;
        tone.index = block.index;
        tone.frequency = block.frequency;
        tone.blockLength = block.length;
        tone.amplitude = analyzer.amplitude();
        tone.phase = measurer::phaseAtBlockStart(analyzer.phase(), block, plan.params().sampleRate);
        analysis.tones.push_back(tone);
        if (progress) progress(plan.percentDone());
        return true;
    });
    analysis.end = outcome.end;
    analysis.peak = outcome.peak;
    unwrapAlongSweep(analysis.tones);
    countMissing(analysis);
    analysis.reportRows = std::min<std::size_t>(analysis.tones.size(), reportCount);
    return analysis;
}

}  // namespace auralyn::analysis
