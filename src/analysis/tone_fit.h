#pragma once

#include <cstdint>
#include <vector>

#include "analysis/tone_layout.h"

namespace auralyn::analysis {

struct ToneFit {
    double amplitude = 0.0;  // sample units
    double phase = 0.0;      // radians, -pi..pi, of the sine at the block's (fractional) start
};

// Amplitude and phase of the tone in a placed block: the IEEE Std 1057
// three-parameter fit at the block's frequency, its time origin at the
// block's fractional start, so that a tone that rises through zero there, as
// the generator wrote it, reads 0 whatever the clock. The block must lie
// within the recording.
ToneFit fitToneAt(const std::vector<std::int16_t>& recording, const BlockPlacement& block, double sampleRate);

}  // namespace auralyn::analysis
