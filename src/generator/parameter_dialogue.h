#pragma once

#include <cstdint>

#include "generator/console_input.h"
#include "sweep/sweep_plan.h"

namespace auralyn::generator {

// Asks the sweep parameters on the console and stores every answer through the
// plan's setters. False when the input ended at a question that has no acceptable
// default; the plan then holds the answers given so far.
bool askSweepParameters(sweep::SweepPlan& plan, ConsoleInput& input);

// What the dialogue stores for the advanced options when they are not edited.
void storeAdvancedDefaults(sweep::SweepPlan& plan);

// The three values the dialogue stores without asking: sync threshold, sync
// pulse duration and lead-in time.
void storeFixedValues(sweep::SweepPlan& plan);

// The answers to the dialogue's questions before the advanced options; each
// member starts at the dialogue's default.
struct SweepAnswers {
    std::uint32_t sampleRate = 48000;
    std::int32_t octaveSweep = 1;
    double startFrequency = 20.0;
    double endFrequency = 20000.0;
    double frequencyStep = 24.0;
    double minToneDuration = 0.02;
    double settlingTime = 0.04;
    std::uint32_t tonesPerSyncPulse = 0;
};

// The plan the dialogue makes from these answers with the advanced options
// left alone: the answers stored through the setters in the dialogue's order,
// then the advanced defaults and the fixed values. Not locked.
sweep::SweepPlan planFromAnswers(const SweepAnswers& answers);

}  // namespace auralyn::generator
