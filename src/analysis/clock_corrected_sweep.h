#pragma once

#include <cstdint>
#include <vector>

#include "analysis/sample.h"
#include "analysis/clipping.h"
#include "analysis/harmonic_fit.h"
#include "analysis/tone_layout.h"
#include "analysis/tone_steadiness.h"
#include "clock/clock_figure.h"
#include "sweep/sweep_plan.h"

namespace auralyn::analysis {

// One tone measured where, and at the frequency, it really lies in the recording.
struct ClockCorrectedTone {
    std::uint32_t index = 0;
    double nominalFrequency = 0.0;    // Hz, from the schedule
    double measuredFrequency = 0.0;   // Hz in the recording; NaN when its block holds no clear tone
    double frequencyStandardError = 0.0;  // Hz, of measuredFrequency
    double fittedFrequency = 0.0;     // Hz, the frequency of the fit: nominal / (1 + ppm / 1e6)
    double amplitude = 0.0;           // sample units, the joint fit's fundamental
    double phase = 0.0;               // radians, -pi..pi, at the block's start, referred to the first pulse
    HarmonicFit fit;                  // the block's joint fit (DC, fundamental, harmonics), made once per tone
    HalvesFit halves;                 // its halves' fits, from the same pass (empty where too short)
    ClipCheck clip;                   // the block's clipping check, made while its samples were at hand
    double blockStart = 0.0;          // recording samples from the data's first sample, fractional
    double blockLength = 0.0;         // recording samples, fractional
    double blockLead = 0.0;           // recording samples from blockStart to where its samples begin
    // The block covers the whole samples from ceil(blockStart + blockLead)
    // before blockStart + blockLead + blockLength; a fit of its own
    // (placeBlock, tone_layout.h) takes its time origin at blockStart.
};

struct ClockCorrectedSweep {
    clock::ClockFigure clock;           // the ratio found; applied only when its verdict is Measured
    bool corrected = false;             // tones were placed with clock.ppm (else at 0 ppm, nominal places)
    bool clockFromPhases = false;       // clock.ppm and u95 come from the tones' phases (phase_clock.h)
    bool pulseFound = false;            // the first sync pulse was found (a hint for the search only)
    bool located = false;               // the sweep was found in the recording: nothing is measured otherwise
    bool timedByPulse = false;          // `trigger` is the first pulse's, which the tones confirmed
    double locatorMargin = 0.0;         // the matched filter's strongest peak over its correlation's RMS
    // The sample the tones are placed from: the first pulse's trigger where
    // the tones confirm it, else where they put the sweep's start, rounded.
    std::int64_t trigger = -1;
    std::uint32_t pulsesFound = 0;      // later pulses found where the clock put them
    std::vector<ClockCorrectedTone> tones;  // in schedule order, the tones the recording holds
    std::uint32_t tonesExpected = 0;    // the schedule's tones (bounded by its tone count)
    std::uint32_t tonesMissing = 0;     // those whose block lies past the recording's end
    // Per tone of the schedule, the played samples its block was moved by to
    // where the tone itself arrives (tone_arrivals.h); empty where none moved.
    std::vector<double> blockLeads;
    // The tones as fitted at the common placement, kept where blocks moved:
    // a timing jump can pass for a delay that changes along the sweep, so
    // the jump search judges these first (recording_analysis.cpp).
    std::vector<ClockCorrectedTone> tonesAtCommonPlace;
};

// What a tone's phase is read from while the start and the clock are still
// being placed: the fit of DC and the fundamental alone (IEEE Std 1057), a
// fraction of the joint fit's cost (clock_corrected_sweep.cpp says why).
ClockCorrectedTone phaseFitAt(const NominalTone& tone, const BlockPlacement& block,
                              const std::vector<Sample>& recording, double rate);

// One tone's joint fit in its block, placed as given.
ClockCorrectedTone fitToneAt(const NominalTone& tone, const BlockPlacement& block,
                             const std::vector<Sample>& recording, double rate);

// The whole measurement of a recording (its mono samples, from the first
// sample of the data): finds the sweep by its tones (sweep_locator.h; the
// first sync pulse, searched as echoprobe does, is a hint and, where the
// tones confirm it, the time origin), the clock ratio from the tones (and
// later pulses), then measures every tone the recording holds at its
// corrected place and frequency. Tones are placed at their nominal places
// when the clock figure is not Measured (the tones disagree, or the ratio
// lies beyond +-1000 ppm). Nothing is measured where the sweep is not found.
//
// `firstPulse` Ignored: the pulse is no hint and no time origin, the tones
// alone place the sweep (it is still reported found). So a recording repaired
// of a jump in or before its first tone, by a size the tones only estimated:
// its pulse lies on the other side of the jump, off the later tones by the
// estimate's error (tens of samples at a low first tone), and blocks placed
// from it would reach that far into their neighbours.
enum class FirstPulse { MayTime, Ignored };
ClockCorrectedSweep measureWithClockCorrection(const sweep::SweepPlan& plan, const std::vector<Sample>& recording,
                                               FirstPulse firstPulse = FirstPulse::MayTime);

}  // namespace auralyn::analysis
