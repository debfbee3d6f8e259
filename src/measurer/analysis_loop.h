#pragma once

#include <cstdint>
#include <vector>

#include "measurer/tone_result.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::measurer {

// Walks the recording tone by tone along the plan's schedule, from the end of
// its lead-in: finds the sync pulse at every sync point, measures each tone's
// block and appends its result, at most `toneCount` of them. Prints the
// progress and, on success, the peak level. False, with an error line, when a
// pulse is not found or the recording ends inside a tone; `results` then holds
// the tones measured so far, which are not to be reported.
bool analyzeRecording(sweep::SweepPlan& plan, wave::WaveFile& recording, std::vector<ToneResult>& results,
                      std::uint32_t toneCount);

}  // namespace auralyn::measurer
