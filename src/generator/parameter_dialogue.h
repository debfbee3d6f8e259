#pragma once

#include "generator/console_input.h"
#include "sweep/sweep_plan.h"

namespace auralyn {

// Asks the sweep parameters on the console and stores every answer through the
// plan's setters. False when the input ended at a question that has no acceptable
// default; the plan then holds the answers given so far.
bool askSweepParameters(SweepPlan& plan, ConsoleInput& input);

}  // namespace auralyn
