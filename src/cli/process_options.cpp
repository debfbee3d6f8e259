#ifdef AURALYN_HAVE_PROCESS
#include "cli/process_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace auralyn::cli {
namespace {

int smoothingFraction(const std::string& text) {
    int n = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "1/%d%c", &n, &tail) != 1 || n < 1 || n > 96)
        throw UsageError{"--smooth: expected 1/N with N from 1 to 96, not '" + text + "'"};
    return n;
}

std::string formatted(const char* format, double a, double b = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::optional<response::Smoothing> smoothingOption(const std::string& smooth, const std::string& mode) {
    if (mode == "variable") {
        if (!smooth.empty()) throw UsageError{"--smooth-mode variable sets its own widths: leave out --smooth"};
        return response::Smoothing{0, response::SmoothingMode::power, true};
    }
    if (smooth.empty()) {
        if (mode != "power") throw UsageError{"--smooth-mode " + mode + " needs --smooth 1/N"};
        return std::nullopt;
    }
    const response::SmoothingMode chosen = mode == "complex" ? response::SmoothingMode::complex
                                           : mode == "db"    ? response::SmoothingMode::db
                                                             : response::SmoothingMode::power;
    return response::Smoothing{smoothingFraction(smooth), chosen, false};
}

void delayOption(const std::string& text, response::ProcessOptions& options) {
    if (text.empty()) return;
    if (text == "auto" || text == "reference") {
        options.delay = text == "auto" ? response::DelayChoice::automatic : response::DelayChoice::reference;
        return;
    }
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(seconds) || std::abs(seconds) > 100.0)
        throw UsageError{"--delay: expected auto, reference or a number of seconds (within ±100), not '" + text + "'"};
    options.delay = response::DelayChoice::given;
    options.delaySeconds = seconds;
}

std::string referenceDelayLine(double seconds, const response::Response& r) {
    if (!r.referenceDelay && r.referenceChannel)
        return "Delay: measured against reference channel " + std::to_string(*r.referenceChannel) +
               ", whose delay the measurement divided out: the phase already starts at the reference; nothing more removed";
    return "Delay: the reference's " + formatted("%.4f ms", seconds * 1000.0) + " removed";
}

std::string delayLine(const response::DelayEstimate& delay, const std::optional<double>& sampleRate) {
    std::string line = "Delay: " + formatted("%.4f ms", delay.seconds * 1000.0) + " (";
    if (sampleRate) line += formatted("%.2f samples at %.0f Hz, ", delay.seconds * *sampleRate, *sampleRate);
    line += formatted("%.4f m at 343 m/s), fitted over %.6g Hz", delay.seconds * 343.0, delay.bandLow);
    line += formatted(" to %.6g Hz (", delay.bandHigh) + std::to_string(delay.tonesUsed) + " tones); removed";
    return line;
}

}  // namespace auralyn::cli
#endif
