#pragma once

// Recordings of a sweep made by the tests' own means, apart from the kit's
// simulator: biquads from the bilinear transform, a windowed-sinc resampler
// for fractional delays and a second clock, Gaussian noise and junk.
#include <complex>
#include <cstdint>
#include <vector>

#include "sweep/sweep_plan.h"

namespace auralyn::test {

// One second-order section, y = (b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2).
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    std::complex<double> response(double frequency, double sampleRate) const;
};

// Second-order Butterworth sections, prewarped to `cutoff` (bilinear transform).
Biquad butterworthLowPass(double cutoff, double sampleRate);
Biquad butterworthHighPass(double cutoff, double sampleRate);

std::vector<double> filtered(const std::vector<double>& x, const std::vector<Biquad>& sections);
std::complex<double> responseOf(const std::vector<Biquad>& sections, double frequency, double sampleRate);

// The generator's sweep samples (lead-in, pulses, tones) as doubles, and
// where its time origin (the first pulse's first sample) lies in them.
std::vector<double> playedSweep(const sweep::SweepPlan& plan);
std::int64_t playedOrigin(const sweep::SweepPlan& plan);

// What a recorder whose clock runs `ratio` times the player's holds when it
// starts `delay` (fractional) samples before sample 0 of `played`: sample n
// is `played` at (n - delay) / ratio, interpolated band-limited.
std::vector<double> recordedAt(const std::vector<double>& played, double delay, double ratio, std::size_t length);

// Gain, Gaussian noise of `noiseRms` (full scale 32767), rounded to 16 bits.
std::vector<std::int16_t> toPcm16(const std::vector<double>& x, double gain, double noiseRms, std::uint64_t seed);

// A recording of nothing useful: white noise, or a sum of `tones` random
// steady tones ("music") at random levels, `length` samples.
std::vector<double> whiteNoise(std::size_t length, double rms, std::uint64_t seed);
std::vector<double> randomTones(std::size_t length, std::size_t tones, double sampleRate, std::uint64_t seed);

std::vector<double> joined(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace auralyn::test
