#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "long_sweep.h"
#include "measurer/analysis_loop.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::bench {

// Times `pass(plan, recording)` on the long sweep's recording, opened afresh
// with a fresh plan for every iteration (a walk consumes both), and counts the
// file's samples as the items processed. The benchmark is skipped with the
// reason when the file cannot be opened or a pass returns false. Returns the
// number of samples in the file.
template <class Pass>
std::uint64_t timeRecordingPasses(benchmark::State& state, const std::string& path, const char* failure, Pass pass) {
    std::uint64_t samples = 0;
    for (auto _ : state) {
        sweep::SweepPlan plan = longSweepPlan();
        wave::WaveFile recording;
        if (!recording.openRead(path.c_str())) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        samples = recording.dataSize / 2;
        if (!pass(plan, recording)) {
            state.SkipWithError(failure);
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(samples));
    return samples;
}

// echoprobe's walk over an opened recording, from the end of its lead-in, with
// its progress output silenced; true when every tone was measured.
bool walkAsEchoprobe(sweep::SweepPlan& plan, wave::WaveFile& recording, std::vector<measurer::ToneResult>& results);

}  // namespace auralyn::bench
