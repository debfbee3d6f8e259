#include "simulated_sweep.h"

#include "sweep/sweep_layout.h"
#include "sweep_recording.h"
#include "sweep_test_plans.h"

namespace auralyn::test {

sweep::SweepParameters defaultSweep() { return dialogueDefaults(); }

SimulatedSweep plainSweep(const sweep::SweepParameters& p) {
    SimulatedSweep sweep;
    sweep.sampleRate = p.sampleRate;
    const std::vector<std::int16_t> codes = synthesiseSweep(sweep::SweepPlan(p));
    sweep.samples.assign(codes.begin(), codes.end());
    sweep.tones = sweep::generatedToneSpans(sweep::SweepPlan(p));
    sweep.leadIn = static_cast<std::size_t>(sweep::generatorLeadInSamples(p));
    return sweep;
}

}  // namespace auralyn::test
