#pragma once

// The default sweep measured through gains, filters and noise on recorders at
// 0 and +-200 ppm, each recording made here by the tests' own biquads,
// resampler and noise (filtered_recordings.h), at a fractional start, with
// junk-free silence around it. Every tone that stands 40 dB above its noise is
// compared with the device's exact response after one delay, the start the
// measurement reports; no tone lying under the noise may read as measured.
#ifdef AURALYN_HAVE_SWEEP_LOCATOR
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/recording_analysis.h"
#include "filtered_recordings.h"
#include "sweep/sweep_plan.h"

namespace auralyn::test::targets {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr double kFullScale = 32767.0;

struct Device {
    std::string name;
    std::vector<Biquad> sections;
    double gain = 1.0;
    double noiseRms = 1.0;  // a recorder's own noise of one step dithers the rounding
};

struct Figures {
    bool located = false;
    std::string sync;
    std::size_t compared = 0, covered = 0, phaseCovered = 0, noiseTonesMeasured = 0, belowNoise = 0;
    std::size_t unsteady = 0;  // of the tones compared, those flagged unsteady (their halves disagree)
    double worstDb = 0.0, worstDeg = 0.0, worstOverLimit = 0.0;
    double clockError = 0.0, clockU95 = 0.0, delayError = 0.0, delayU95 = 0.0;
};

// The default sweep, and its samples as played.
const sweep::SweepPlan& plan();
const std::vector<double>& played();

// The device's recording started `delay` samples early on a recorder `ppm` off.
std::vector<analysis::Sample> recording(const Device& d, double delay, double ppm, std::uint64_t seed);

// Every tone of the device's recording against its exact response.
Figures measure(const Device& d, double ppm, double delay, std::uint64_t seed);

// The device recorded beside a wire from the output on the same clock,
// measured over the wire.
Figures measureOverReference(const Device& d, double ppm, double delay, std::uint64_t seed);

// One row of the table the cases print, and its header.
void printRow(const std::string& name, double ppm, const Figures& f);
void printHeader();

Biquad lowPass(double hz);
Biquad highPass(double hz);

// What every case must hold: found, every interval holding the truth at
// least as often as 90 % (a confident wrong number is the worst defect), no
// noise read as a tone, and the levels within max(0.02 dB, 5 sigma).
void expectHonest(const Figures& f, const std::string& name);

}  // namespace auralyn::test::targets
#endif  // AURALYN_HAVE_SWEEP_LOCATOR
