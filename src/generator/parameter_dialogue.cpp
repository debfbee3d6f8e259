#include "generator/parameter_dialogue.h"

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace auralyn::generator {
namespace {

// tonesPerSyncPulse is 32 bits wide: larger answers are not taken.
constexpr double kMaxTonesPerSyncPulse = 4294967295.0;

// The threshold the measurer takes a pulse from; the dialogue stores it unasked.
constexpr double kSyncThresholdPercent = 15.0;

void printLines(const ConsoleInput& input, std::initializer_list<const char*> lines) {
    for (const char* line : lines) std::fputs(line, input.out);
}

std::uint32_t truncatedUnsigned(double value) { return static_cast<std::uint32_t>(value); }

// The advanced options, each asked with its explanation.
bool askAdvancedOptions(sweep::SweepPlan& plan, ConsoleInput& input) {
    printLines(input, {"\nEnter the amplitude of the synchronization pulse as a percent of the maximum"});
    std::fprintf(input.out, "\nvolume (between %.0f and %.0f; default=%.0f): ", 10.0, 100.0, 90.0);
    std::optional<double> pulseLevel = readNumber(input, 10, 100, 90);
    if (!pulseLevel) return false;
    plan.setSyncPulseLevel(*pulseLevel);
    // Levels down to 10 stay accepted (files of other builds carry them), but the
    // measurer cannot find a pulse that never reaches its threshold.
    if (*pulseLevel < kSyncThresholdPercent) {
        std::fputs("\nWarning: A synchronization pulse below the 15 % threshold cannot be found, so this "
                   "sweep will not measure.",
                   input.out);
    }

    printLines(input, {"\nEnter the minimum number of cycles to play of any frequency (this helps ensure",
                       "\nthat enough data is collected for the low frequencies)."});
    std::fprintf(input.out, "\nMinimum number of cycles (between %u and %u; default=%u): ", 0u, 200u, 10u);
    std::optional<double> cycles = readNumber(input, 0, 200, 10);
    if (!cycles) return false;
    plan.setMinCyclesPerTone(truncatedUnsigned(*cycles));

    printLines(input, {"\nEnter the maximum allowable fractional cycle. This is an error-control value.",
                       "\nA value of 1 will work in general, but use values of 0.1 or less to reduce"});
    std::fprintf(input.out, "\nerror. Enter maximum fractional cycle (between %.2f and %.1f; default=%.1f): ", 0.0,
                 1.0, 1.0);
    std::optional<double> fractionalCycle = readNumber(input, 0, 1, 1);
    if (!fractionalCycle) return false;
    plan.setMaxFractionalCycle(*fractionalCycle);

    printLines(input, {"\nEnter the maximum number of extra samples to be added to each tone in order",
                       "\nto control error. Larger values will result in larger wave files but possibly",
                       "\nhigher accuracy."});
    std::fprintf(input.out, "\nEnter the maximum number of samples (between %.0f and %.0f; default=%.0f): ", 0.0,
                 3000.0, 400.0);
    std::optional<double> extraSamples = readNumber(input, 0, 3000, 400);
    if (!extraSamples) return false;
    plan.setMaxExtraSamples(truncatedUnsigned(*extraSamples));

    printLines(input, {"\nEnter the maximum expected drift (in seconds) due to unequal sampling rates"});
    std::fprintf(input.out, "\nbetween the tone source and recorder (between %.0f and %.0f; default=%.4f): ", 0.0,
                 1.0, 0.0002);
    std::optional<double> drift = readNumber(input, 0, 1, 0.0002);
    if (!drift) return false;
    plan.setMaxTimeDrift(*drift);
    return true;
}

bool askFrequencyStep(sweep::SweepPlan& plan, ConsoleInput& input) {
    std::optional<double> step;
    if (plan.params().octaveSweep == 0) {
        std::fprintf(input.out, "\nEnter the frequency step in Hz from one tone to the next (default=%.0f): ", 10.0);
        step = readNumber(input, 0.01, 10000000000.0, 10);
    } else {
        std::fprintf(input.out, "\nEnter the number of tones to play per octave (default=%.0f): ", 24.0);
        step = readNumber(input, 0.1, 5000, 24);
    }
    if (!step) return false;
    plan.setFrequencyStep(*step);
    return true;
}

bool askFrequencies(sweep::SweepPlan& plan, ConsoleInput& input) {
    const double nyquist = plan.params().sampleRate * 0.5;
    const double endDefault = 20000.0 < nyquist ? 20000.0 : nyquist;

    std::fprintf(input.out, "\nEnter the starting frequency of the sweep in Hz (default=%.0f): ", 20.0);
    std::optional<double> start = readNumber(input, 0.1, nyquist, 20);
    if (!start) return false;
    plan.setStartFrequency(*start);

    printLines(input, {"\nEnter the end frequency of the sweep in Hz. The maximum frequency must be",
                       "\nat least the starting frequency and less than half the sampling rate."});
    const double startFrequency = plan.params().startFrequency;
    std::fprintf(input.out, "\nEnter the end frequency (between %.0f and %.0f; default=%.0f): ", startFrequency,
                 nyquist, endDefault);
    std::optional<double> end = readNumber(input, startFrequency, nyquist, endDefault);
    if (!end) return false;
    plan.setEndFrequency(*end);
    return true;
}

bool askTiming(sweep::SweepPlan& plan, ConsoleInput& input) {
    std::fprintf(input.out, "\nEnter the minimum duration for each tone in seconds (default=%.2f): ", 0.02);
    std::optional<double> duration = readNumber(input, 0, 1000, 0.02);
    if (!duration) return false;
    plan.setMinToneDuration(*duration);

    printLines(input, {"\nEnter the time between tones (in seconds) needed for each tone to stabilize.",
                       "\n Recommended settings:", "\n  Speakers:       at least 0.040 seconds",
                       "\n  High-quality headphones: 0.025 seconds", "\n  Electronic circuits:     0.005 seconds"});
    std::fprintf(input.out, "\n Enter settling time (between %.0f and %.0f; default=%.2f): ", 0.0, 1.0, 0.04);
    std::optional<double> settling = readNumber(input, 0, 1, 0.04);
    if (!settling) return false;
    plan.setSettlingTime(*settling);

    printLines(input, {"\nEnter the number of tones to be played following each synchronization pulse."});
    std::fputs("\nThe default, 0, will generate only one synchronization pulse,\nat the beginning. ", input.out);
    std::optional<double> tonesPerPulse = readNumber(input, 0, kMaxTonesPerSyncPulse, 0);
    if (!tonesPerPulse) return false;
    plan.setTonesPerSyncPulse(truncatedUnsigned(*tonesPerPulse));
    return true;
}

}  // namespace

bool askSweepParameters(sweep::SweepPlan& plan, ConsoleInput& input) {
    printLines(input, {"\nEnter the parameters for this frequency sweep. For any values you do not",
                       "\ncare about, just press Enter to accept the default.\n"});

    std::fprintf(input.out, "\nEnter output sampling rate in Hz (between %.0f and %.0f; default=%.0f): ", 8000.0,
                 96000.0, 48000.0);
    std::optional<double> rate = readNumber(input, 8000, 96000, 48000);
    if (!rate) return false;
    plan.setSampleRate(truncatedUnsigned(*rate));

    std::fputs("\nSelect sweep type: 1) Octave or 2) Linear (default=Octave): ", input.out);
    std::optional<double> type = readNumber(input, 1, 2, 1);
    if (!type) return false;
    plan.setOctaveSweep(static_cast<std::int32_t>(*type) == 1 ? 1 : 0);

    if (!askFrequencies(plan, input) || !askFrequencyStep(plan, input) || !askTiming(plan, input)) return false;

    std::fputs("\nDo you want to edit the advanced options? (y/n) ", input.out);
    if (readYesNo(input)) {
        if (!askAdvancedOptions(plan, input)) return false;
    } else {
        storeAdvancedDefaults(plan);
    }

    storeFixedValues(plan);
    return true;
}

void storeAdvancedDefaults(sweep::SweepPlan& plan) {
    plan.setMaxExtraSamples(400);
    plan.setSyncPulseLevel(90);
    plan.setMaxTimeDrift(0.0002);
    plan.setMinCyclesPerTone(10);
    plan.setMaxFractionalCycle(1.0);
}

void storeFixedValues(sweep::SweepPlan& plan) {
    plan.setSyncThreshold(kSyncThresholdPercent);
    plan.setSyncPulseDuration(0.0002);
    plan.setLeadInTime(0.5);
}

sweep::SweepPlan planFromAnswers(const SweepAnswers& answers) {
    sweep::SweepPlan plan;
    plan.setSampleRate(answers.sampleRate);
    plan.setOctaveSweep(answers.octaveSweep);
    plan.setStartFrequency(answers.startFrequency);
    plan.setEndFrequency(answers.endFrequency);
    plan.setFrequencyStep(answers.frequencyStep);
    plan.setMinToneDuration(answers.minToneDuration);
    plan.setSettlingTime(answers.settlingTime);
    plan.setTonesPerSyncPulse(answers.tonesPerSyncPulse);
    storeAdvancedDefaults(plan);
    storeFixedValues(plan);
    return plan;
}

}  // namespace auralyn::generator
