#include "simulated_sweep.h"

#include "sweep/sweep_layout.h"
#include "sweep_recording.h"
#include "sweep_test_plans.h"

namespace auralyn::test {

sweep::SweepParameters defaultSweep() { return dialogueDefaults(); }

std::vector<TonePlace> tonePlaces(sweep::SweepPlan plan) {
    const sweep::SweepParameters& p = plan.params();
    std::vector<TonePlace> places;
    plan.rewind();
    std::int64_t position = sweep::generatorLeadInSamples(p);
    do {
        if (plan.isSyncTone()) position += sweep::syncSettlingSamples(p) + sweep::syncDriftSamples(p) + sweep::syncPulseSamples(p);
        const std::int64_t lead = plan.settlingSamples();
        places.push_back(TonePlace{p.toneFrequency, static_cast<std::size_t>(position + lead),
                                   static_cast<std::size_t>(p.toneLength)});
        position += lead + p.toneLength + plan.driftSamples();
    } while (plan.nextTone());
    return places;
}

SimulatedSweep plainSweep(const sweep::SweepParameters& p) {
    SimulatedSweep sweep;
    sweep.sampleRate = p.sampleRate;
    const std::vector<std::int16_t> codes = synthesiseSweep(sweep::SweepPlan(p));
    sweep.samples.assign(codes.begin(), codes.end());
    sweep.tones = tonePlaces(sweep::SweepPlan(p));
    sweep.leadIn = static_cast<std::size_t>(sweep::generatorLeadInSamples(p));
    return sweep;
}

}  // namespace auralyn::test
