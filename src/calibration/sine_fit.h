#pragma once

#include <span>
#include <vector>

namespace auralyn::calibration {

// A sinusoid a cos(w t) + b sin(w t) + c fitted to samples n = 0..N-1, time
// t = n - (N - 1) / 2 counted from the middle of the block.
struct SineFit {
    double frequencyHz = 0.0;
    double cosine = 0.0;  // a
    double sine = 0.0;    // b
    double amplitude = 0.0;  // peak, in the samples' units
    double offset = 0.0;
    double residualRms = 0.0;  // what the fitted sinusoid leaves
};

// IEEE Std 1057 three-parameter fit: amplitude, phase and offset of a tone
// of known frequency, by linear least squares.
SineFit fitSineKnownFrequency(std::span<const double> samples, double sampleRate, double frequencyHz);

// IEEE Std 1057 four-parameter fit: the frequency too, by Gauss-Newton
// iterations from a starting frequency that must lie well within one bin
// (sampleRate / N) of the tone's; time counted from the middle of the block
// keeps the frequency column independent of the others.
SineFit fitSine(std::span<const double> samples, double sampleRate, double startFrequencyHz);

// The samples with a fitted sinusoid (offset included) taken away.
std::vector<double> withoutSine(std::span<const double> samples, double sampleRate, const SineFit& fit);

}  // namespace auralyn::calibration
