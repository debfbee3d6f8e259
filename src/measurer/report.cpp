#include "measurer/report.h"

#include <cmath>

namespace auralyn::measurer {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;
constexpr long double kOneOverPi = 0.318309886183790671537767526745028724L;

// Beyond this many turns the repeated steps are replaced by one jump, so a
// hostile phase cannot stall the report; real sweeps never come near it.
constexpr double kMaxStepwiseTurns = 64.0;

double moveNear(double phase, double previous) {
    if (!std::isfinite(phase) || !std::isfinite(previous)) return phase;
    const double turns = std::floor((previous - phase) / kTwoPi);
    if (std::fabs(turns) > kMaxStepwiseTurns) phase = phase + turns * kTwoPi;
    while (phase - previous < -kHalfPi) phase = phase + kTwoPi;
    while (phase - previous > kHalfPi) phase = phase - kTwoPi;
    return phase;
}

void writeNormalised(double amplitude, double mean, bool zeroMean, std::FILE* out) {
    if (zeroMean) {
        std::fputs("undef, undef, ", out);
        return;
    }
    const double ratio = amplitude / mean;
    std::fprintf(out, "%.5f, ", ratio);
    if (amplitude > 0.0) {
        std::fprintf(out, "%.3f, ", 20.0 * std::log10(ratio));
    } else {
        std::fputs("-Inf, ", out);
    }
}

}  // namespace

double degrees(double radians) {
    const long double value = static_cast<long double>(radians) * 180.0L * kOneOverPi;
    return static_cast<double>(value);
}

void writeHeader(const sweep::SweepPlan& plan, const char* recordedName, std::FILE* out) {
    const sweep::SweepParameters& p = plan.params();
    std::fprintf(out, "Input file, \"%s\"\n", recordedName);
    std::fprintf(out, "Sampling rate, %u Hz\n", static_cast<unsigned>(p.sampleRate));
    std::fprintf(out, "Minimum tone duration, %.3f sec\n", p.minToneDuration);
    std::fprintf(out, "Tones per sync pulse, %u\n", static_cast<unsigned>(p.tonesPerSyncPulse));
    std::fprintf(out, "Settling time, %.3f sec\n", p.settlingTime);
    std::fprintf(out, "Minimum cycles per tone, %u\n", static_cast<unsigned>(p.minCyclesPerTone));
    std::fprintf(out, "Maximum fractional cycle, %.3f\n", p.maxFractionalCycle);
    std::fprintf(out, "Maximum extra samples, %u\n", static_cast<unsigned>(p.maxExtraSamples));
    std::fprintf(out, "Maximum time drift, %.4f sec\n", p.maxTimeDrift);
}

double unwrapPhases(ToneResult* results, std::size_t count) {
    double sum = 0.0;
    if (count == 0) return sum;
    double previous = results[0].phase;
    for (std::size_t i = 0; i < count; ++i) {
        sum = results[i].amplitude + sum;
        results[i].phase = moveNear(results[i].phase, previous);
        previous = results[i].phase;
    }
    return sum;
}

void writeResults(ToneResult* results, std::size_t count, std::FILE* out) {
    if (count == 0) return;
    const double sum = unwrapPhases(results, count);
    const double mean = sum / static_cast<double>(count);
    const bool zeroMean = mean == 0.0;
    std::fputs("Frequency, Amplitude, Norm. Amp., Norm. Amp. (dB), Phase (deg)\n", out);
    for (std::size_t i = 0; i < count; ++i) {
        std::fprintf(out, "%.2f, %.1f, ", results[i].frequency, results[i].amplitude);
        writeNormalised(results[i].amplitude, mean, zeroMean, out);
        std::fprintf(out, "%.2f\n", degrees(results[i].phase));
    }
}

}  // namespace auralyn::measurer
