#pragma once

#include <vector>

#include "analysis/sweep_template.h"

namespace auralyn::analysis {

// A short piece of the sweep, rendered, that the locator correlates with a recording.
struct SweepStretch {
    double origin = 0.0;           // played position of its first sample
    std::vector<double> samples;   // full scale, at the player's clock
    double envelopeWidth = 1.0;    // samples: the scale of its correlation envelope's peak, 1 / (2 pi B)
    double frequency = 0.0;        // Hz, of the tone it is centred on
};

// One stretch per octave of the sweep's tones (at least three, split by tone
// count, for a sweep of fewer octaves), each centred on the middle tone of
// its octave and centred where that tone ends. A stretch lasts
// kBaseStretchSamples, or two cycles of the difference between that tone and
// the next where that is longer (so that its correlation tells the two apart:
// a shorter one finds its neighbours nearly as well as itself), at most
// kMaxStretchSamples, and no longer than keeps its highest
// tone within a quarter cycle over its length at kCoherentPpm, so that a
// recorder's clock does not blur it.
// `fillersOnly`: instead, the stretches that fill where the octaves' leave a
// long stretch of the sweep without one (sweep_stretches.cpp), for a
// recording that holds only part of the sweep.
std::vector<SweepStretch> chooseStretches(const SweepTemplate& sweep, bool fillersOnly = false);

inline constexpr std::size_t kMaxStretchSamples = 32768;
inline constexpr std::size_t kBaseStretchSamples = 8192;
inline constexpr std::size_t kMinStretchSamples = 1024;
inline constexpr double kCoherentPpm = 300.0;

}  // namespace auralyn::analysis
