#pragma once

#include "response/response.h"

namespace auralyn::response {

// What a smoothing window averages: |H|² (power, the magnitude's default),
// H itself (complex: magnitude and phase together), or the level in dB.
enum class SmoothingMode { power, complex, db };

struct Smoothing {
    int fraction = 0;  // N of 1/N octave, 1 to 96
    SmoothingMode mode = SmoothingMode::power;
    bool variable = false;  // the variable preset: width from variableWidthOctaves, power mode
};

// The variable preset's width at a frequency, in octaves: 1/48 below 100 Hz,
// 1/3 above 10 kHz, and between them growing geometrically with frequency
// (a straight line on log width against log frequency).
double variableWidthOctaves(double frequency);

// Fractional-octave smoothing. The window around each tone f is rectangular
// on a log2-frequency axis, from f·2^(-b/2) to f·2^(+b/2) with b = 1/N
// octave. The result is the integral over the window, on the log2-frequency
// axis, of the curve through the tones (a cubic Hermite spline of the
// smoothed quantity) divided by the window's width: each tone weighs the span
// of log frequency halfway to its neighbours (to first order), so that uneven
// spacing (linear sweeps, gaps) weighs the curve by octaves, not by tone count. A window that reaches past the first or
// last tone is cut there (divided by the width it covers) and its tone
// flagged kWindowCut.
// Power and dB modes smooth the magnitude and keep each tone's phase;
// complex mode smooths both. Intervals stay as they were (smoothing does not
// remove a systematic error). Throws Error when a window is wider than the
// whole curve or N lies outside 1..96.
Response smooth(const Response& response, const Smoothing& smoothing);

}  // namespace auralyn::response
