#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "analysis/clock_corrected_sweep.h"
#include "sweep/sweep_plan.h"

namespace auralyn::bench {

// Times the clock-corrected measurement of a whole recording held in memory;
// the clock error it found shows as the counter clock_ppm. Header only: just
// the benchmarks that link the analysis library include it.
inline void timeClockCorrection(benchmark::State& state, const sweep::SweepPlan& plan,
                                const std::vector<std::int16_t>& recording) {
    double ppm = 0.0;
    const std::vector<analysis::Sample> samples(recording.begin(), recording.end());
    for (auto _ : state) {
        const analysis::ClockCorrectedSweep sweep = analysis::measureWithClockCorrection(plan, samples);
        if (sweep.tones.size() != plan.toneCount()) state.SkipWithError("tones missing");
        ppm = sweep.clock.ppm;
        benchmark::DoNotOptimize(sweep.tones.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(recording.size()));
    state.counters["clock_ppm"] = ppm;
}

}  // namespace auralyn::bench
