#pragma once

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// The record the generator's dialogue stores when every question is answered
// with its default: 48000 Hz, 20 to 20000 Hz, 24 tones per octave.
inline sweep::SweepParameters dialogueDefaults() {
    sweep::SweepParameters p;
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

inline sweep::SweepParameters linearSweep(double start, double end, double step) {
    sweep::SweepParameters p = dialogueDefaults();
    p.octaveSweep = 0;
    p.startFrequency = start;
    p.endFrequency = end;
    p.frequencyStep = step;
    return p;
}

// A plan on `p` with tone 0 current.
inline sweep::SweepPlan rewoundPlan(const sweep::SweepParameters& p) {
    sweep::SweepPlan plan(p);
    plan.rewind();
    return plan;
}

}  // namespace auralyn::test
