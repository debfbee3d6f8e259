#pragma once

#include <cstdint>
#include <optional>

#include "analysis/envelope_correlation.h"
#include "analysis/sweep_template.h"

namespace auralyn::analysis {

// A stretch's correlation peak counts only where its envelope stands this
// many times above the RMS of the same correlation away from the peak (its
// own noise and sidelobes, 18 dB): noise alone reaches 4.1 times its RMS once
// in 14 million lags and 8 times once in 10^27.
inline constexpr double kDetectionMargin = 8.0;
// Stretches that must find the sweep on one line (start and clock ratio).
inline constexpr std::uint32_t kMinAgreeingStretches = 2;

// Where the sweep lies in a recording: recording position = start + played
// position x (1 + ppm / 1e6), played positions counted from the first sample
// of the sweep's first sync pulse.
struct SweepLocation {
    bool found = false;
    double start = 0.0;      // recording samples, fractional
    double startSigma = 0.0; // standard uncertainty of start from the stretches, samples
    double ppm = 0.0;
    double ppmSigma = 0.0;
    double margin = 0.0;     // the strongest agreeing stretch's peak over its correlation's RMS
    std::uint32_t agreeing = 0;
    std::uint32_t stretches = 0;  // stretches the template offers
    bool fromHint = false;        // found around the hint, without a search of the whole recording
};

// Finds the sweep by matched filtering (the optimal detector of a known
// signal in white noise): short stretches of the sweep, one per octave of its
// tones so that a device passing any part of the band still leaves some,
// are correlated with the recording; each stretch whose envelope peak stands
// out by kDetectionMargin gives a position, and at least
// kMinAgreeingStretches of them must lie on one line, whose intercept is the
// start and whose slope the clock ratio. The stretches are short enough that
// a clock ratio off by 300 ppm does not smear their highest tone by more
// than a quarter cycle. `hint` (where a sync pulse was found, recording
// samples) lets the stretches be searched only near it; where they do not
// agree there, the whole recording is searched.
SweepLocation locateSweep(const SweepTemplate& sweep, const RecordingView& recording,
                          std::optional<double> hint = std::nullopt);

}  // namespace auralyn::analysis
