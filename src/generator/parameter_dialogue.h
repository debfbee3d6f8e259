#pragma once

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

}  // namespace auralyn::generator
