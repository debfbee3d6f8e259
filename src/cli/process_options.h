#pragma once

#include <optional>
#include <string>

#include "response/processing.h"
#include "response/smoothing.h"

namespace auralyn::cli {

// A refused option value: the message for standard error, exit status 2.
struct UsageError {
    std::string message;
};

// --smooth 1/N with --smooth-mode power|complex|db|variable; none when
// neither asks for smoothing. Throws UsageError for 1/N outside 1..96, a
// mode other than variable without --smooth, or variable with --smooth.
std::optional<response::Smoothing> smoothingOption(const std::string& smooth, const std::string& mode);

// --delay auto|reference|SECONDS into the options (nothing for an empty text).
// Throws UsageError for anything else.
void delayOption(const std::string& text, response::ProcessOptions& options);

// "Delay: 1.2345 ms (59.26 samples at 48000 Hz, 0.4234 m at 343 m/s), fitted
// over F1 Hz to F2 Hz (N tones); removed" (samples only where the rate is known).
// What --delay reference took out, for standard output; `r` is the response
// before processing.
std::string referenceDelayLine(double seconds, const response::Response& r);

std::string delayLine(const response::DelayEstimate& delay, const std::optional<double>& sampleRate);

}  // namespace auralyn::cli
