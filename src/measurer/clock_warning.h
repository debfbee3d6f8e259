#pragma once

#include <cstdint>
#include <vector>

#include "clock/clock_figure.h"
#include "clock/tone_frequency.h"
#include "measurer/recording_walk.h"
#include "sweep/sweep_plan.h"

namespace auralyn::measurer {

// The clock observations of the blocks echoprobe's walk reads.
struct ClockWatch {
    std::vector<clock::ClockObservation> observations;
    std::uint32_t offered = 0;
};

// Estimates the frequency of the tone in one walked block.
void watchBlock(ClockWatch& watch, const ToneBlock& block, double sampleRate);
// The same with the estimate's first fits from sums the walk's own correlation
// gathered, so that a tone at its expected frequency is not read twice.
void watchBlock(ClockWatch& watch, const ToneBlock& block, double sampleRate, const clock::HalvesSums& atStart);

// The worst phase error, in degrees, that a clock `ppm` off puts on the plan's
// sweep: its highest tone at the end of the longest stretch from a sync pulse
// to the last block it positions. Negative for a recording that runs long.
double worstPhaseDrift(const sweep::SweepPlan& plan, double ppm);

// Prints one warning line when the recorder's clock, found from the watched
// blocks, is significant beyond its own uncertainty and turns the phases by
// more than a degree; nothing otherwise.
void printClockWarning(const ClockWatch& watch, const sweep::SweepPlan& plan);

}  // namespace auralyn::measurer
