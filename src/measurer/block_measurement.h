#pragma once

#include <cstdint>

#include "measurer/recording_walk.h"
#include "measurer/tone_analyzer.h"
#include "measurer/tone_result.h"

namespace auralyn::measurer {

// One block of the walk measured as echoprobe measures it: the analyzer's
// correlation over the block, its phase taken back to the block's start. A
// block cut short (ToneBlock::shortened) is not whole cycles and the
// correlation would leak; it gets the IEEE Std 1057 three-parameter sine fit
// at the tone's frequency instead, exact on the samples that are the tone's.
ToneResult measureBlock(ToneAnalyzer& analyzer, const ToneBlock& block, std::uint32_t rate);

// Whether measureBlock measures the block with the analyzer's correlation
// (whose sums the analyzer then holds) rather than the fit.
bool measuredByCorrelation(const ToneBlock& block, std::uint32_t rate);

}  // namespace auralyn::measurer
