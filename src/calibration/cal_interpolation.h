#pragma once

#include <optional>
#include <string>

#include "calibration/cal_file.h"

namespace auralyn::calibration {

// The microphone's response at one frequency, read from a calibration curve.
struct CalValue {
    double db = 0.0;                  // the response: the measurement is divided by it
    std::optional<double> phaseDeg;   // -180..180, where the file has phases
    double interpolationHalfWidthDb = 0.0;  // bound of the straight-line error between sparse points
    double pointStandardDb = 0.0;     // standard uncertainty the file states for its rows (0 if none)
};

// The response at frequencyHz: linear in dB (and in phase) against log
// frequency between the two rows about it, the file's own values on its rows.
// Nothing outside the file's range: a tone there is flagged, never given an
// extrapolated correction. invert reads a file that holds the correction
// (the response's negative) instead of the response.
std::optional<CalValue> responseAt(const CalCurve& curve, double frequencyHz, bool invert = false);

// "20 Hz .. 20 kHz": the range a curve covers, for warnings.
std::string rangeText(const CalCurve& curve);

}  // namespace auralyn::calibration
