#include "simulated_sweep.h"

#include "sweep/sweep_layout.h"
#include "sweep_recording.h"

namespace auralyn::test {

SweepParameters defaultSweep() {
    SweepParameters p;
    p.sampleRate = 48000;
    p.octaveSweep = 1;
    p.startFrequency = 20;
    p.endFrequency = 20000;
    p.frequencyStep = 24;
    p.minToneDuration = 0.02;
    p.settlingTime = 0.04;
    p.tonesPerSyncPulse = 0;
    p.maxExtraSamples = 400;
    p.syncPulseLevel = 90;
    p.maxTimeDrift = 0.0002;
    p.minCyclesPerTone = 10;
    p.maxFractionalCycle = 1.0;
    p.syncThreshold = 15;
    p.syncPulseDuration = 0.0002;
    p.leadInTime = 0.5;
    return p;
}

std::vector<TonePlace> tonePlaces(SweepPlan plan) {
    const SweepParameters& p = plan.params();
    std::vector<TonePlace> places;
    plan.rewind();
    std::int64_t position = generatorLeadInSamples(p);
    do {
        if (plan.isSyncTone()) position += syncSettlingSamples(p) + syncDriftSamples(p) + syncPulseSamples(p);
        const std::int64_t lead = plan.settlingSamples();
        places.push_back(TonePlace{p.toneFrequency, static_cast<std::size_t>(position + lead),
                                   static_cast<std::size_t>(p.toneLength)});
        position += lead + p.toneLength + plan.driftSamples();
    } while (plan.nextTone());
    return places;
}

SimulatedSweep plainSweep(const SweepParameters& p) {
    SimulatedSweep sweep;
    sweep.sampleRate = p.sampleRate;
    sweep.samples = synthesiseSweep(SweepPlan(p));
    sweep.tones = tonePlaces(SweepPlan(p));
    sweep.leadIn = static_cast<std::size_t>(generatorLeadInSamples(p));
    return sweep;
}

}  // namespace auralyn::test
