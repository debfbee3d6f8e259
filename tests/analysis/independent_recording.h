#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// What the chain between the player and the recorder adds, all optional.
struct RecordingChain {
    double recorderPpm = 0.0;     // the recorder's clock against the player's: two clocks when not 0
    double startFraction = 0.0;   // where the recorder's first sample falls between the player's, [0, 1)
    double whiteDbfs = -400.0;    // Gaussian noise, RMS against full scale
    double pinkDbfs = -400.0;     // pink noise (-3 dB per octave), RMS against full scale
    double dcOffset = 0.0;        // sample units
    double clicksPerSecond = 0.0; // single-sample clicks of +-clickLevel at random places
    double clickLevel = 0.0;
    int bits = 16;                // below 16: stored at that resolution with triangular dither
    bool dither = true;           // false: rounded to `bits` without dither (the error follows the signal)
    std::uint64_t seed = 1;
};

// The device the sweep passes through: a gain and phase that change smoothly
// with frequency (a broad peak near 3 kHz, a phase lag growing with frequency).
std::complex<double> deviceResponse(double hz);

// A recording made without the kit's generator, simulator or resampler: every
// tone is written as a sine in closed form at the recorder's sample times
// (played time (n - start) / ratio), already through deviceResponse, the sync
// pulses as the level they are, over the first pulse's silence; then the
// chain's noise, offset, clicks and rounding. The tones' block positions come
// from the schedule's layout; each tone starts at phase 0 on its block's first
// played sample, and is written a few samples beyond its block.
struct IndependentRecording {
    std::vector<std::int16_t> samples;
    // The phase the first pulse's whole-sample trigger adds to a tone of f Hz:
    // 2 pi f lag / rate, lag the played samples from the pulse's start to the
    // trigger. Where the clocks agree the lag is 0.
    double triggerLag = 0.0;
};
IndependentRecording recordIndependently(const sweep::SweepPlan& plan, const RecordingChain& chain);

// The truth for a tone of the schedule: amplitude in sample units and phase at
// the block start (radians), as a clock-corrected measurement should read it.
struct TrueTone {
    double amplitude = 0.0;
    double phase = 0.0;
};
TrueTone trueTone(double hz, double sampleRate, double triggerLag);

}  // namespace auralyn::test
