#pragma once

namespace auralyn::plot {

// The full-scale test tone's amplitude: 0 dB of every plotted magnitude.
inline constexpr double kFullScaleTone = 32767.0;

// One tone as plotted: magnitude relative to the full-scale test tone.
struct ResponsePoint {
    double frequency = 0.0;
    double magnitudeDb = 0.0;
    double phaseDegrees = 0.0;
};

// How the minimum phase took the magnitude on beyond the first and the last
// tone: straight lines on the log-frequency axis, in dB per octave.
struct MagnitudeExtension {
    double lowDbPerOctave = 0.0;
    double highDbPerOctave = 0.0;
};

}  // namespace auralyn::plot
