#pragma once

namespace auralyn::plot {

// One tone as plotted: magnitude relative to the full-scale test tone.
struct ResponsePoint {
    double frequency = 0.0;
    double magnitudeDb = 0.0;
    double phaseDegrees = 0.0;
};

inline constexpr double kFullScaleTone = 32767.0;

}  // namespace auralyn::plot
