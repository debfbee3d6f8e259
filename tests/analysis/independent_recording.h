#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "analysis/recording_analysis.h"

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
    // Where the first pulse's first played sample lies in the recording
    // (recorder samples, fractional), and the recorder's clock ratio.
    double pulseStart = 0.0;
    double ratio = 1.0;
    // The lag for phases referred to `start`, the sweep's start as a
    // measurement reports it (recording samples): played samples from the
    // pulse's true start to it.
    double lagAt(double start) const { return (start - pulseStart) / ratio; }
};
IndependentRecording recordIndependently(const sweep::SweepPlan& plan, const RecordingChain& chain);

// The truth for a tone of the schedule: amplitude in sample units and phase at
// the block start (radians), as a clock-corrected measurement should read it.
struct TrueTone {
    double amplitude = 0.0;
    double phase = 0.0;
};
TrueTone trueTone(double hz, double sampleRate, double triggerLag);

// The lag (played samples from the first pulse's start) of the start that a
// noise-free recording of deviceResponse gives: phases refer to the peak of
// the sweep's matched-filter envelope, which the device's own phase moves by
// a fixed lag. Found from the exact response at the tones the measurement
// placed its start with (the steady ones), each weighted by its level as the
// measurement weights it; without any, the start the measurement reports.
// The truth's phases refer to it, so that an interval must hold the error of
// the measured start as well as the tone's own.
double noiseFreeLag(const analysis::RecordingAnalysis& measured, const IndependentRecording& recording,
                    double sampleRate);

}  // namespace auralyn::test
