#include "recording_passes.h"

#include "bench_recordings.h"
#include "sweep/sweep_layout.h"

namespace auralyn::bench {

bool walkAsEchoprobe(sweep::SweepPlan& plan, wave::WaveFile& recording, std::vector<measurer::ToneResult>& results) {
    recording.skipSamples(sweep::measurerLeadInSamples(plan.params()));
    QuietStdout quiet;
    return measurer::analyzeRecording(plan, recording, results, plan.toneCount()) &&
           results.size() == plan.toneCount();
}

}  // namespace auralyn::bench
