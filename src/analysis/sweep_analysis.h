#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/tone_quality.h"
#include "analysis/tone_steadiness.h"
#include "analysis/tone_timeline.h"
#include "measurer/recording_walk.h"
#include "sweep/sweep_plan.h"
#include "wave/wave_file.h"

namespace auralyn::analysis {

// One tone of the sweep as measured in the recording.
struct ToneMeasurement {
    std::uint32_t index = 0;      // the tone's index in the schedule
    double frequency = 0.0;       // Hz, nominal, from the schedule
    std::int32_t blockLength = 0; // samples in the measured block
    double amplitude = 0.0;       // sample units
    double phase = 0.0;           // radians, -pi..pi, as measured
    double unwrappedPhase = 0.0;  // radians, unwrapped along the sweep as the report does
    // Beyond echoprobe's walk (empty where not measured):
    std::optional<double> measuredFrequency;           // Hz, the tone's frequency in the recording
    std::optional<ToneQuality> quality;   // distortion, noise and uncertainty of the tone
    bool clipped = false;                              // its block shows a flattened top at full scale
    // The clock-corrected analysis's checks of the tone (checked_tones.h).
    std::optional<SteadinessCheck> steadiness;
    bool placed = true;  // false: after a jump it could not be placed; its values are no measurement
    // It is one of the tones whose phases put the sweep's start (sweep_origin.h):
    // steady, clear of the noise. A device whose delay varies with frequency
    // moves that start with the set of tones, so the set is kept with them.
    bool placesStart = false;
};

// Everything one walk through a recording measured.
struct SweepAnalysis {
    // Every tone the walk measured, in schedule order; this includes the one
    // tone past toneCount() that the walk yields when the end frequency falls
    // on a tone.
    std::vector<ToneMeasurement> tones;
    std::size_t reportRows = 0;       // how many of `tones` echoprobe's report holds
    std::uint32_t tonesExpected = 0;  // tones the sweep plays
    std::uint32_t tonesMissing = 0;   // tones the recording did not hold
    std::uint16_t peak = 0;           // largest magnitude over the measured blocks; -32768 counts as 32768
    measurer::WalkEnd end = measurer::WalkEnd::Complete;
    bool leadInMissing = false;       // the recording is no longer than the sweep's lead-in
    // The clock-corrected analysis's findings over the whole recording.
    std::vector<TimingJump> jumps;
    std::optional<ClockModel> clockModel;

    bool complete() const { return end == measurer::WalkEnd::Complete; }
};

// Called after each tone with the share of the sweep done, in percent.
using AnalysisProgress = std::function<void(double percent)>;

// Number of tones a walk through the plan's schedule yields: toneCount(), or
// one more when rounding puts a tone exactly at the end frequency.
std::uint32_t scheduledToneCount(const sweep::SweepPlan& plan);

// The report's unwrapping of `phase` into `unwrappedPhase`, run over every
// tone: the first reportRows phases come out exactly as the report prints them.
void unwrapAlongSweep(std::vector<ToneMeasurement>& tones);

// Measures the recording of the plan's sweep from its first sample: skips the
// lead-in, walks the schedule (walkRecording) and measures each tone's block
// with a ToneAnalyzer exactly as echoprobe does, so that amplitudes and phases
// are bit for bit echoprobe's. The phases are unwrapped as the report unwraps
// them. The recording must be mono 16-bit at the plan's rate.
SweepAnalysis analyzeSweep(sweep::SweepPlan& plan, wave::WaveFile& recording, const AnalysisProgress& progress = {});

}  // namespace auralyn::analysis
